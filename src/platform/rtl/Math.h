#pragma once
// Numeric helpers with the class library's meanings: Round rounds halves to even,
// MulDiv rounds halves away from zero, Ceil and Floor give integers.
#include <cstdint>

// Nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2, -2.5 -> -2).
// Values outside the 64-bit range are clamped to it; NaN gives 0.
int64_t Round(double x);
// Towards zero.
int64_t Trunc(double x);
// Fraction part with the sign of x; Int is the whole part as a double.
double Frac(double x);
double Int(double x);
int Ceil(double x);
int Floor(double x);
// value rounded to 10^digit (digit -2 gives hundredths), halves to even like Round.
double RoundTo(double value, int digit);
// As RoundTo with halves away from zero.
double SimpleRoundTo(double value, int digit = -2);
// a * b / c with a 64-bit product, rounded to nearest with halves away from zero; -1 when c is 0
// or the result does not fit an int.
int MulDiv(int a, int b, int c);

// A pseudo-random integer in 0..range-1 (0 when range <= 0), or a double in [0, 1).
int Random(int range);
double Random();
// Seeds the generator from the clock; without it the sequence is the same every run.
void Randomize();
extern uint32_t RandSeed;

double IntPower(double base, int exponent);
double Power(double base, double exponent);
double Log10(double x);
double Log2(double x);

inline int Min(int a, int b) { return a < b ? a : b; }
inline int Max(int a, int b) { return a > b ? a : b; }
inline int64_t Min(int64_t a, int64_t b) { return a < b ? a : b; }
inline int64_t Max(int64_t a, int64_t b) { return a > b ? a : b; }
inline double Min(double a, double b) { return a < b ? a : b; }
inline double Max(double a, double b) { return a > b ? a : b; }
inline int EnsureRange(int value, int lo, int hi) { return value < lo ? lo : value > hi ? hi : value; }
inline double EnsureRange(double value, double lo, double hi) { return value < lo ? lo : value > hi ? hi : value; }
inline bool InRange(int value, int lo, int hi) { return value >= lo && value <= hi; }
inline bool InRange(double value, double lo, double hi) { return value >= lo && value <= hi; }
inline int Sign(double x) { return x > 0 ? 1 : x < 0 ? -1 : 0; }
