// TMatrix: the engine's 4x4 float transform.
//
// grid[i][j] is column i, row j of the OpenGL matrix, so the sixteen floats lie in OpenGL's
// column-major order and &grid[0][0] goes to glLoadMatrixf / glMultMatrixf unchanged. The
// translation is grid[3][0..2]; a point p maps to
//     grid[0][j]*p.x + grid[1][j]*p.y + grid[2][j]*p.z + grid[3][j]   (row j = 0, 1, 2).
//
// A new matrix is the zero matrix, not the identity: call LoadIdentity first.
//
// Every composing operation multiplies on the right (receiver := receiver x T), so a chain of
// calls applies the last-named transform to a point first. Angles are in degrees; pitch turns
// about x, yaw about y, roll about z, each as a right-handed rotation by +angle.
//
// The affine operations (Multiply, Translate, Scale, Rotate*) assume the bottom row
// (grid[0..3][3]) is (0, 0, 0, 1) and never touch it; LoadIdentity, TForm and Inverse set it so.
// The in-place operations allocate nothing. Each stored element is rounded to float; sines and
// cosines are taken in double precision and the products that use them are formed in double
// before the store. Products of stored floats are float arithmetic.
#pragma once

struct TMatrix {
    float grid[4][4]{};

    // All sixteen elements set to the identity.
    void LoadIdentity();
    // A matrix holding the same sixteen values; the receiver is unchanged.
    TMatrix Copy() const { return *this; }
    // All sixteen elements copied from m.
    void Overwrite(const TMatrix& m);
    // Inverse of a rotation-plus-translation matrix: the upper 3x3 part transposed, the
    // translation -(R^T t), bottom row (0, 0, 0, 1). A matrix that carries a scale gets the
    // plain transpose too, so the result applies the scale again instead of dividing by it.
    TMatrix Inverse() const;
    // Inverse of any invertible affine matrix (rotation, scale and translation): the upper 3x3
    // part inverted in double precision, the translation -(A^-1 t), bottom row (0, 0, 0, 1).
    // A singular or non-finite upper part gives Inverse() instead.
    TMatrix AffineInverse() const;

    // receiver := receiver x m, the full 4x4 product (bottom row included), each element summed
    // over k = 0..3 in a float accumulator.
    void Multiply0(const TMatrix& m);
    // receiver := receiver x m for rows 0..2 only; the receiver's bottom row is kept. The full
    // product whenever both bottom rows are (0, 0, 0, 1). m may be the receiver itself.
    void Multiply(const TMatrix& m);

    // Overwrites all sixteen elements with T(x,y,z) x Ry(yaw) x Rx(pitch) x Rz(roll) x S(sx,sy,sz),
    // that is LoadIdentity, Translate, RotateYaw, RotatePitch, RotateRoll, Scale in one step.
    void TForm(float x, float y, float z, float pitch, float yaw, float roll, float sx, float sy,
               float sz);

    // receiver := receiver x T(x,y,z). The 0 variants build the elementary matrix in a temporary
    // and go through Multiply; the others compute the same result in place.
    void Translate0(float x, float y, float z);
    void Translate(float x, float y, float z);
    // receiver := receiver x S(x,y,z).
    void Scale0(float x, float y, float z);
    void Scale(float x, float y, float z);
    // receiver := receiver x Ry(yaw) x Rx(pitch) x Rz(roll): the yaw, pitch and roll steps below
    // in that order, each sine and cosine taken once.
    void Rotate(float pitch, float yaw, float roll);
    // receiver := receiver x Rx(angle); Rx has column 1 = (0, c, s), column 2 = (0, -s, c).
    void RotatePitch0(float angle);
    void RotatePitch(float angle);
    // receiver := receiver x Ry(angle); Ry has column 0 = (c, 0, -s), column 2 = (s, 0, c).
    void RotateYaw0(float angle);
    void RotateYaw(float angle);
    // receiver := receiver x Rz(angle); Rz has column 0 = (c, s, 0), column 1 = (-s, c, 0).
    void RotateRoll0(float angle);
    void RotateRoll(float angle);

    // The sixteen elements in OpenGL order, for glLoadMatrixf and friends.
    const float* data() const { return &grid[0][0]; }
    float* data() { return &grid[0][0]; }
};
