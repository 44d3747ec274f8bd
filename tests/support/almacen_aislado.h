#pragma once
// A set of settings of the test's own: an application name no other test uses, in a fresh
// registry tree under Windows (removed at the end), elsewhere under a scratch XDG_CONFIG_HOME.
// OtraAplicacion gives further names, isolated and removed the same way.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/soporte.h"

namespace prueba {

class AlmacenAislado : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string OtraAplicacion();

    std::string app_;
    CarpetaTemporal carpeta_;  // the scratch XDG_CONFIG_HOME (unused under Windows)

private:
    std::vector<std::string> aplicaciones_;
    std::optional<std::string> xdgPrevio_;
};

}  // namespace prueba
