#include "engine/math/matrix.h"

#include "platform/mathfn.h"

#include <cmath>
#include <cstring>

namespace {

// Turns the column pair (a, b) of the upper 3x3 part by the angle whose cosine and sine are c
// and s: Ca := Ca*c + Cb*s, Cb := -Ca*s + Cb*c, both from the old columns. Translation and
// bottom row are untouched.
inline void turnColumns(float (&grid)[4][4], int a, int b, double c, double s) {
    for (int j = 0; j < 3; ++j) {
        const double ca = grid[a][j];
        const double cb = grid[b][j];
        grid[a][j] = static_cast<float>(ca * c + cb * s);
        grid[b][j] = static_cast<float>(-ca * s + cb * c);
    }
}

// Identity with the rotation of the column pair (a, b) by the angle: column a gets c at row a
// and s at row b, column b gets -s at row a and c at row b.
TMatrix elementaryTurn(int a, int b, double c, double s) {
    TMatrix r;
    r.LoadIdentity();
    r.grid[a][a] = static_cast<float>(c);
    r.grid[a][b] = static_cast<float>(s);
    r.grid[b][a] = static_cast<float>(-s);
    r.grid[b][b] = static_cast<float>(c);
    return r;
}

// Identity with three elements replaced: grid[i + k*di][j + k*dj] = (a, b, c)[k]. The
// translation column is (3, 0, 0, 1), the scale diagonal (0, 0, 1, 1).
TMatrix identityWithThree(int i, int j, int di, int dj, float a, float b, float c) {
    TMatrix r;
    r.LoadIdentity();
    r.grid[i][j] = a;
    r.grid[i + di][j + dj] = b;
    r.grid[i + 2 * di][j + 2 * dj] = c;
    return r;
}

} // namespace

void TMatrix::LoadIdentity() {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) grid[i][j] = i == j ? 1.0f : 0.0f;
    }
}

void TMatrix::Overwrite(const TMatrix& m) {
    if (&m != this) std::memcpy(grid, m.grid, sizeof grid);
}

TMatrix TMatrix::Inverse() const {
    TMatrix r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) r.grid[i][j] = grid[j][i];
    }
    for (int j = 0; j < 3; ++j) {
        r.grid[3][j] =
            -(grid[j][0] * grid[3][0] + grid[j][1] * grid[3][1] + grid[j][2] * grid[3][2]);
    }
    r.grid[0][3] = 0.0f;
    r.grid[1][3] = 0.0f;
    r.grid[2][3] = 0.0f;
    r.grid[3][3] = 1.0f;
    return r;
}

TMatrix TMatrix::AffineInverse() const {
    // a[j][k]: row j, column k of the upper 3x3 part.
    double a[3][3];
    for (int j = 0; j < 3; ++j) {
        for (int k = 0; k < 3; ++k) a[j][k] = grid[k][j];
    }
    double b[3][3];
    b[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    b[0][1] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    b[0][2] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    b[1][0] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    b[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    b[1][2] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    b[2][0] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    b[2][1] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
    b[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    const double det = a[0][0] * b[0][0] + a[0][1] * b[1][0] + a[0][2] * b[2][0];
    if (det == 0.0 || !std::isfinite(det)) return Inverse();
    TMatrix r;
    for (int j = 0; j < 3; ++j) {
        double t = 0.0;
        for (int k = 0; k < 3; ++k) {
            b[j][k] /= det;
            r.grid[k][j] = float(b[j][k]);
            t += b[j][k] * double(grid[3][k]);
        }
        r.grid[3][j] = float(-t);
    }
    r.grid[0][3] = 0.0f;
    r.grid[1][3] = 0.0f;
    r.grid[2][3] = 0.0f;
    r.grid[3][3] = 1.0f;
    return r;
}

void TMatrix::Multiply0(const TMatrix& m) {
    TMatrix r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += grid[k][j] * m.grid[i][k];
            r.grid[i][j] = sum;
        }
    }
    Overwrite(r);
}

void TMatrix::Multiply(const TMatrix& m) {
    // All twelve results come from the old values (m may be *this), so gather them first.
    float r[4][3];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            r[i][j] = grid[0][j] * m.grid[i][0] + grid[1][j] * m.grid[i][1] +
                      grid[2][j] * m.grid[i][2] + grid[3][j] * m.grid[i][3];
        }
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) grid[i][j] = r[i][j];
    }
}

void TMatrix::TForm(float x, float y, float z, float pitch, float yaw, float roll, float sx,
                    float sy, float sz) {
    const double cP = Cos(pitch), sP = Sin(pitch);
    const double cY = Cos(yaw), sY = Sin(yaw);
    const double cR = Cos(roll), sR = Sin(roll);

    grid[0][0] = static_cast<float>((cY * cR + sY * sP * sR) * sx);
    grid[0][1] = static_cast<float>(cP * sR * sx);
    grid[0][2] = static_cast<float>((-sY * cR + cY * sP * sR) * sx);
    grid[0][3] = 0.0f;

    grid[1][0] = static_cast<float>((-cY * sR + sY * sP * cR) * sy);
    grid[1][1] = static_cast<float>(cP * cR * sy);
    grid[1][2] = static_cast<float>((sY * sR + cY * sP * cR) * sy);
    grid[1][3] = 0.0f;

    grid[2][0] = static_cast<float>(sY * cP * sz);
    grid[2][1] = static_cast<float>(-sP * sz);
    grid[2][2] = static_cast<float>(cY * cP * sz);
    grid[2][3] = 0.0f;

    grid[3][0] = x;
    grid[3][1] = y;
    grid[3][2] = z;
    grid[3][3] = 1.0f;
}

void TMatrix::Translate0(float x, float y, float z) {
    Multiply(identityWithThree(3, 0, 0, 1, x, y, z));
}

void TMatrix::Translate(float x, float y, float z) {
    for (int j = 0; j < 3; ++j) {
        grid[3][j] = grid[0][j] * x + grid[1][j] * y + grid[2][j] * z + grid[3][j];
    }
}

void TMatrix::Scale0(float x, float y, float z) {
    Multiply(identityWithThree(0, 0, 1, 1, x, y, z));
}

void TMatrix::Scale(float x, float y, float z) {
    for (int j = 0; j < 3; ++j) {
        grid[0][j] *= x;
        grid[1][j] *= y;
        grid[2][j] *= z;
    }
}

// The yaw step turns (C0, C2) by -angle: C0 := C0*c - C2*s, C2 := C0*s + C2*c.
void TMatrix::Rotate(float pitch, float yaw, float roll) {
    const double cY = Cos(yaw), sY = Sin(yaw);
    const double cP = Cos(pitch), sP = Sin(pitch);
    const double cR = Cos(roll), sR = Sin(roll);
    turnColumns(grid, 0, 2, cY, -sY);
    turnColumns(grid, 1, 2, cP, sP);
    turnColumns(grid, 0, 1, cR, sR);
}

void TMatrix::RotatePitch0(float angle) {
    Multiply(elementaryTurn(1, 2, Cos(angle), Sin(angle)));
}

void TMatrix::RotatePitch(float angle) {
    turnColumns(grid, 1, 2, Cos(angle), Sin(angle));
}

void TMatrix::RotateYaw0(float angle) {
    Multiply(elementaryTurn(0, 2, Cos(angle), -Sin(angle)));
}

void TMatrix::RotateYaw(float angle) {
    turnColumns(grid, 0, 2, Cos(angle), -Sin(angle));
}

void TMatrix::RotateRoll0(float angle) {
    Multiply(elementaryTurn(0, 1, Cos(angle), Sin(angle)));
}

void TMatrix::RotateRoll(float angle) {
    turnColumns(grid, 0, 1, Cos(angle), Sin(angle));
}
