// Shape mapping of percent positions, trigonometry in degrees, point geometry and the pan-motor
// position optimiser.
#pragma once

#include <cmath>

#include "zrparser/ZrFunctionBase.h"

// One period of a sine over 100 percent, between 0 and 100 around 50.
class SinSyncFct : public ZrFunctionBase<SinSyncFct> {
public:
    static constexpr ZrFunctionInfo info{L"map.sin", nullptr, L"map.sin(percent)", L"Map percent to a sin shape.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// One period of a cosine over 100 percent, between 0 and 100 around 50.
class CosSyncFct : public ZrFunctionBase<CosSyncFct> {
public:
    static constexpr ZrFunctionInfo info{L"map.cos", nullptr, L"map.cos(percent)", L"Map percent to a cos shape.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A ramp that wraps every 100 percent; negative inputs stay negative.
class SawtoothSyncFct : public ZrFunctionBase<SawtoothSyncFct> {
public:
    static constexpr ZrFunctionInfo info{L"map.sawtooth", nullptr, L"map.sawtooth(percent)", L"Map percent to a sawtooth shape", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// 100 at 0, down to 0 at 50, back to 100 at 100, repeating.
class TriangleSyncFct : public ZrFunctionBase<TriangleSyncFct> {
public:
    static constexpr ZrFunctionInfo info{L"map.triangle", nullptr, L"map.triangle(percent)", L"Map percent to a triangle shape", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// An S curve through 50 at 50 percent.
class SigmoidSyncFct : public ZrFunctionBase<SigmoidSyncFct> {
public:
    static constexpr ZrFunctionInfo info{L"map.sigmoid", nullptr, L"map.sigmoid(x)", L"Map percent to a sigmoid shape", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// An exponential curve from 0 at 0 percent to 100 at 100 percent.
class ExpSyncFct : public ZrFunctionBase<ExpSyncFct> {
    // The curve's value at 100 percent, before normalisation.
    double expMax = std::pow(1.3, 10.0);

public:
    static constexpr ZrFunctionInfo info{L"map.exp", nullptr, L"map.exp(percent)", L"Map percent to an exponential shape.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A logarithmic curve from 0 at 0 percent to 100 at 100 percent.
class LogSyncFct : public ZrFunctionBase<LogSyncFct> {
public:
    static constexpr ZrFunctionInfo info{L"map.log", nullptr, L"map.log(percent)", L"Map percent to a log shape.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class MathCosFct : public ZrFunctionBase<MathCosFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.cos", nullptr, L"math.cos(degrees)", L"Cosinus of an angle in degrees.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class MathACosFct : public ZrFunctionBase<MathACosFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.acos", nullptr, L"math.acos(value)", L"Inverse cosinus in degrees.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class MathSinFct : public ZrFunctionBase<MathSinFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.sin", nullptr, L"math.sin(degrees)", L"Sinus of an angle in degrees.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class MathASinFct : public ZrFunctionBase<MathASinFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.asin", nullptr, L"math.asin(value)", L"Inverse sinus in degrees.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class MathTanFct : public ZrFunctionBase<MathTanFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.tan", nullptr, L"math.tan(degrees)", L"Tangent of an angle in degrees.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class MathATanFct : public ZrFunctionBase<MathATanFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.atan", nullptr, L"math.atan(value)", L"Inverse tangent in degrees.", 1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Direction from one point to another in the plane, in degrees.
class MathAngleBetweenFct : public ZrFunctionBase<MathAngleBetweenFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.anglebetween", nullptr, L"math.anglebetween(x1, y1, x2, y2)",
        L"Angle in degrees between two points, from p1. 0 is at the right, 90 is up.", 4, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;

    // Direction of the vector (dx, dy) in degrees, in [0, 360): 0 along +x, 90 along +y.
    // The null vector has no direction and gives the library's NaN.
    static double direction(double dx, double dy);
};

// Angle above the horizontal plane when looking from one point to another, in degrees.
class MathElevationAngleFct : public ZrFunctionBase<MathElevationAngleFct> {
public:
    static constexpr ZrFunctionInfo info{L"math.elevationangle", nullptr, L"math.elevationangle(x1, y1, z1, x2, y2, z2)",
        L"Elevation angle in degrees looking from p1 to p2. Angle is negative when looking down.", 6, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class Distance3Fct : public ZrFunctionBase<Distance3Fct> {
public:
    static constexpr ZrFunctionInfo info{L"distance", L"distance3d", L"distance(x1,y1,[z1], x2,y2,[z2])",
        L"The distance between two points in 2D or 3D", 6, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class DistanceFct : public ZrFunctionBase<DistanceFct> {
public:
    static constexpr ZrFunctionInfo info{L"distance", L"distance", L"distance(x1,y1, x2,y2)", L"The distance between two points", 4, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Drives a pan motor whose travel of motorMaxDegrees is mapped onto 0..100 percent, choosing
// for each new angle whether to turn forward or backward.
class MotorPanFct : public ZrFunctionBase<MotorPanFct> {
    // Where the motor stands, in percent of its travel; a new motor starts in the middle.
    double position = 50.0;

public:
    static constexpr ZrFunctionInfo info{L"motor.pan", nullptr, L"motor.pan(gotoDegrees, motorMaxDegrees)",
        L"Control the pan to go to the desired angle in degrees. Optimized according to the motor limits.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};
