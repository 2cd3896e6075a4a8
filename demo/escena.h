// The scene file of the builder phase: where each block piece of the construction goes.
//
// A scene file is a plain run of 28-byte records, without header, count or terminator. Each
// record is seven little-endian 32-bit floats: the shape number (0 to 6, a whole number,
// truncated toward zero), the world position x, y (up), z (into the screen), and the rotation
// pitch, yaw, roll in degrees. Records are read in file order, one per build step; the builder
// never tests the end of the file: a float read wholly past the end is 0.0, and one cut short
// keeps the bytes present in its low-order places. Start-up refuses a file with fewer records
// than the builder reads, a cut record or a record out of range (ProblemaRegistroEscena), so
// the builder meets none of that.
#pragma once

#include "platform/stream.h"

#include <string>

// Bytes in one record, and the records the builder reads (one per entry of its beat table).
constexpr int kBytesRegistroEscena = 28;
constexpr int kRegistrosEscena = 16;

// Shape number of a record whose shape value is not a number or beyond the Int range: no shape
// (the piece is then built as a bare pivot, like any shape outside 0 to 6).
constexpr int kTipoSinForma = -1;

struct RegistroEscena {
    int tipo = 0;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float pitch = 0.0f;
    float yaw = 0.0f;
    float roll = 0.0f;
};

// The next record of the stream: seven ReadFloat calls, in field order. A null or closed
// stream, like the end of the file, reads as zeros. Every reader of the file reads through it.
RegistroEscena LeeRegistroEscena(const StreamRef& escenario);

// How far from the origin a piece may lie on each axis: the phase's fog ends 80 units from the
// camera, which circles the origin up to 30 units away, so a piece within 50 is always in view.
constexpr float kAlcanceEscena = 50.0f;
// What is wrong with a record ("" for a good one): a shape outside 0 to 6 ("a shape that is not
// one of 0 to 6"), a value that is not a finite number, a position beyond kAlcanceEscena or an
// angle beyond a whole turn either way.
std::string ProblemaRegistroEscena(const RegistroEscena& r);
