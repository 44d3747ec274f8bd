#include "platform/exclusion.h"

namespace plataforma {

void Exclusion::lock() { m_.lock(); }

void Exclusion::unlock() { m_.unlock(); }

}  // namespace plataforma
