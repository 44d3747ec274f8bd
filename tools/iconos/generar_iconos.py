#!/usr/bin/env python3
"""Draws the state icons of the main window and writes them as 16-colour .ico files.

    python3 tools/iconos/generar_iconos.py [output folder]     (default: src/app)

Each has 16, 20 and 24 pixels for the notification area and the title bar at 96, 120 and 144 DPI,
and 32 and 48 for the about box and the taskbar.

zelno.ico     idle: a grey terminal with a dark blue screen.
buscando.ico  searching (serving): a terminal with a green screen under a yellow magnifier.
aviso.ico     not serving: a terminal with a dark screen under a yellow warning triangle.

The .ico files are committed, so the build never runs this script.
"""
import math
import os
import struct
import sys

# The standard 16-colour Windows palette, in its usual order.
PALETA = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
NEGRO, GRANATE, VERDE, OLIVA, MARINO, PURPURA, VERDEAZUL, PLATA = range(8)
GRIS, ROJO, LIMA, AMARILLO, AZUL, FUCSIA, CIAN, BLANCO = range(8, 16)
TRANSPARENTE = None


class Lienzo:
    def __init__(self, lado):
        self.lado = lado
        self.px = [[TRANSPARENTE] * lado for _ in range(lado)]

    def punto(self, x, y, color):
        if 0 <= x < self.lado and 0 <= y < self.lado:
            self.px[y][x] = color

    def rectangulo(self, x0, y0, x1, y1, color):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.punto(x, y, color)

    def marco(self, x0, y0, x1, y1, color):
        for x in range(x0, x1 + 1):
            self.punto(x, y0, color)
            self.punto(x, y1, color)
        for y in range(y0, y1 + 1):
            self.punto(x0, y, color)
            self.punto(x1, y, color)

    def disco(self, cx, cy, radio, color):
        for y in range(self.lado):
            for x in range(self.lado):
                if (x - cx) ** 2 + (y - cy) ** 2 <= radio * radio:
                    self.punto(x, y, color)

    def trazo(self, x0, y0, x1, y1, grosor, color):
        pasos = int(max(abs(x1 - x0), abs(y1 - y0)) * 4) + 1
        for i in range(pasos + 1):
            t = i / pasos
            self.disco(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, grosor / 2, color)


def icono_reposo():
    c = Lienzo(16)
    # Monitor: black outline, silver bezel, navy screen with a blue face and two white text lines.
    c.rectangulo(1, 1, 14, 11, PLATA)
    c.marco(1, 1, 14, 11, NEGRO)
    c.rectangulo(3, 3, 12, 9, MARINO)
    c.rectangulo(4, 4, 11, 8, AZUL)
    c.rectangulo(5, 5, 7, 5, BLANCO)
    c.rectangulo(5, 7, 9, 7, BLANCO)
    c.punto(12, 10, GRIS)
    # Stand and base.
    c.rectangulo(6, 12, 9, 12, GRIS)
    c.marco(3, 13, 12, 14, NEGRO)
    c.rectangulo(4, 13, 11, 13, PLATA)
    c.rectangulo(4, 14, 11, 14, GRIS)
    return c


def icono_reposo_grande(lado):
    """The idle terminal drawn again for 32 or 48 pixels, not the small one blown up: the design is
    laid out on 32 pixels and scaled, with outlines one pixel wide at every size."""
    c = Lienzo(lado)
    f = lado / 32

    def r(*v):
        return [int(round(x * f)) for x in v]

    # Monitor: bezel lit from the top left, a black-rimmed navy screen with a blue face.
    c.rectangulo(*r(1, 3, 30, 23), PLATA)
    c.rectangulo(*r(2, 4, 29, 4), BLANCO)
    c.rectangulo(*r(2, 4, 2, 22), BLANCO)
    c.rectangulo(*r(3, 22, 29, 22), GRIS)
    c.rectangulo(*r(29, 5, 29, 22), GRIS)
    c.marco(*r(1, 3, 30, 23), NEGRO)
    c.marco(*r(4, 6, 27, 20), NEGRO)
    c.rectangulo(*(r(5, 7, 26, 19)), MARINO)
    c.rectangulo(*(r(6, 8, 25, 18)), AZUL)
    # Three white text lines and a cursor.
    alto = max(1, int(round(2 * f)))
    for y, largo in ((10, 8), (13, 14), (16, 5)):
        x0, y0, x1 = *r(8, y), int(round((8 + largo) * f)) - 1
        c.rectangulo(x0, y0, x1, y0 + alto - 1, BLANCO)
    x0, y0 = r(15, 16)
    c.rectangulo(x0, y0, x0 + alto - 1, y0 + alto - 1, CIAN)
    # The power light.
    x0, y0 = r(26, 21)
    c.rectangulo(x0, y0, x0 + alto - 1, y0, LIMA)
    # Stand and base.
    c.rectangulo(*r(12, 24, 19, 26), GRIS)
    c.rectangulo(*r(12, 24, 12, 26), PLATA)
    c.marco(*r(6, 27, 25, 30), NEGRO)
    x0, y0, x1, y1 = r(6, 27, 25, 30)
    c.rectangulo(x0 + 1, y0 + 1, x1 - 1, (y0 + y1) // 2, PLATA)
    c.rectangulo(x0 + 1, (y0 + y1) // 2 + 1, x1 - 1, y1 - 1, GRIS)
    return c


def terminal_pequena(c, f, pantalla, letras):
    """The terminal of the searching and warning icons, laid out on 32 pixels and scaled by f."""
    def r(*v):
        return [int(round(x * f)) for x in v]

    c.rectangulo(*r(1, 2, 24, 20), PLATA)
    c.marco(*r(1, 2, 24, 20), NEGRO)
    c.rectangulo(*r(3, 4, 22, 17), NEGRO)
    c.rectangulo(*r(4, 5, 21, 16), pantalla)
    for y, largo in ((7, 10), (10, 14), (13, 7)):
        x0, y0 = r(6, y)
        c.rectangulo(x0, y0, int(round((6 + largo) * f)) - 1, y0, letras)
    c.rectangulo(*r(10, 21, 15, 23), GRIS)
    c.marco(*r(5, 24, 20, 26), NEGRO)
    c.rectangulo(*r(6, 25, 19, 25), PLATA)
    return r


def icono_buscando(lado=32):
    c = Lienzo(lado)
    f = lado / 32
    # Monitor with a dark green screen and lime text lines.
    r = terminal_pequena(c, f, VERDE, LIMA)
    c.rectangulo(*r(21, 18, 22, 18), LIMA)
    # Magnifier over the lower right corner: handle first, then the ring, then the glass.
    c.trazo(25.5 * f, 24.5 * f, 29.5 * f, 28.5 * f, max(2.0, 4.2 * f), NEGRO)
    c.trazo(25.5 * f, 24.5 * f, 29.2 * f, 28.2 * f, max(1.0, 2.2 * f), OLIVA)
    cx, cy = 21.0 * f, 19.0 * f
    c.disco(cx, cy, 7.6 * f, NEGRO)
    c.disco(cx, cy, 6.6 * f, AMARILLO)
    c.disco(cx, cy, max(1.4, 4.6 * f), NEGRO)
    c.disco(cx, cy, max(0.9, 3.8 * f), CIAN)
    c.rectangulo(*r(19, 17, 20, 17), BLANCO)
    c.punto(*r(19, 18), BLANCO)
    return c


def icono_aviso(lado=32):
    """Polling on, but no sale can pass: the terminal's screen is dark, and a warning triangle with
    an exclamation mark stands over its lower right corner, where the searching icon has its
    magnifier."""
    c = Lienzo(lado)
    f = lado / 32
    terminal_pequena(c, f, MARINO, GRIS)
    # Triangle: black rim, yellow inside, black mark.
    arriba, abajo, izquierda, derecha = 12.0 * f, 31.0 * f, 11.0 * f, 31.0 * f
    medio = (izquierda + derecha) / 2
    for y in range(lado):
        for x in range(lado):
            px, py = x + 0.5, y + 0.5
            if py < arriba or py > abajo:
                continue
            media = (py - arriba) / (abajo - arriba) * (derecha - izquierda) / 2
            if abs(px - medio) <= media:
                borde = 1.3 if lado >= 20 else 1.0
                dentro = abs(px - medio) <= media - borde * 1.2 and py <= abajo - borde and py >= arriba + borde * 2
                c.punto(x, y, AMARILLO if dentro else NEGRO)
    ancho = max(1, int(round(2 * f)))
    x0 = int(medio - ancho / 2 + 0.5)
    c.rectangulo(x0, int(round(17 * f)), x0 + ancho - 1, int(round(25 * f)) - 1, NEGRO)
    c.rectangulo(x0, int(round(27 * f)), x0 + ancho - 1, int(round(27 * f)) + ancho - 1, NEGRO)
    return c


def imagen_bmp(lienzo):
    """One 4-bit BMP image as an .ico holds it; transparency in the AND mask."""
    lado = lienzo.lado
    fila_color = ((lado * 4 + 31) // 32) * 4
    fila_mascara = ((lado + 31) // 32) * 4
    color = bytearray()
    mascara = bytearray()
    for y in reversed(range(lado)):  # bottom-up rows
        fila = bytearray(fila_color)
        bits = bytearray(fila_mascara)
        for x in range(lado):
            p = lienzo.px[y][x]
            indice = 0 if p is TRANSPARENTE else p
            if x % 2 == 0:
                fila[x // 2] |= indice << 4
            else:
                fila[x // 2] |= indice
            if p is TRANSPARENTE:
                bits[x // 8] |= 0x80 >> (x % 8)
        color += fila
        mascara += bits
    paleta = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETA)
    imagen = len(color) + len(mascara)
    cabecera = struct.pack("<IiiHHIIiiII", 40, lado, lado * 2, 1, 4, 0, imagen, 0, 0, 16, 0)
    return cabecera + paleta + bytes(color) + bytes(mascara)


def bytes_ico(*lienzos):
    """An .ico container with one image per size, smallest first."""
    imagenes = [imagen_bmp(l) for l in lienzos]
    directorio = struct.pack("<HHH", 0, 1, len(imagenes))
    desplazamiento = 6 + 16 * len(imagenes)
    entradas = b""
    for lienzo, datos in zip(lienzos, imagenes):
        lado = lienzo.lado
        entradas += struct.pack("<BBBBHHII", lado % 256, lado % 256, 16, 0, 1, 4, len(datos), desplazamiento)
        desplazamiento += len(datos)
    return directorio + entradas + b"".join(imagenes)


def main():
    destino = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(
        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "app"))
    iconos = (
        ("zelno.ico", (icono_reposo(), icono_reposo_grande(20), icono_reposo_grande(24), icono_reposo_grande(32),
                       icono_reposo_grande(48))),
        ("buscando.ico", tuple(icono_buscando(lado) for lado in (16, 20, 24, 32, 48))),
        ("aviso.ico", tuple(icono_aviso(lado) for lado in (16, 20, 24, 32, 48))),
    )
    for nombre, lienzos in iconos:
        ruta = os.path.join(destino, nombre)
        with open(ruta, "wb") as f:
            f.write(bytes_ico(*lienzos))
        print(ruta)


if __name__ == "__main__":
    main()
