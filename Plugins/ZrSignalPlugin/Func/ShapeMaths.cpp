// Shape mapping of percent positions, trigonometry in degrees, point geometry and the pan-motor
// position optimiser.
#include "Func/ShapeMaths.h"

#include <cmath>

#include "zrparser/ZrPlatform.h"

namespace {

// The curves wrap positions beyond one period but leave negative positions as they are.
double wrapAbovePeriod(double percent)
{
    return percent > 100.0 ? std::fmod(percent, 100.0) : percent;
}

double degreesToRadians(double degrees)
{
    return degrees / 360.0 * zr::TWO_PI;
}

double radiansToDegrees(double radians)
{
    return radians / zr::TWO_PI * 360.0;
}

// Marks a pan move that would leave the motor's travel; any move inside it costs less.
constexpr double OUT_OF_TRAVEL_COST = 999999.0;

// Cost of moving the motor from position by move percent: moves that leave the travel are
// ruled out, then ending near the middle of the travel and moving little are preferred.
double panMoveCost(double position, double move)
{
    const double next = position + move;
    if (next < 0.0 || next > 100.0)
        return OUT_OF_TRAVEL_COST;
    return std::fabs(next - 50.0) + 2.0 * std::fabs(move);
}

} // namespace

double SinSyncFct::evaluate(unsigned, const double* args)
{
    return std::sin(args[0] / 100.0 * zr::TWO_PI) * 50.0 + 50.0;
}

double CosSyncFct::evaluate(unsigned, const double* args)
{
    return std::cos(args[0] / 100.0 * zr::TWO_PI) * 50.0 + 50.0;
}

double SawtoothSyncFct::evaluate(unsigned, const double* args)
{
    return std::fmod(args[0], 100.0);
}

double TriangleSyncFct::evaluate(unsigned, const double* args)
{
    return std::fabs(std::fmod(args[0], 100.0) / 100.0 - 0.5) * 200.0;
}

double SigmoidSyncFct::evaluate(unsigned, const double* args)
{
    const double q = wrapAbovePeriod(args[0]);
    return 100.0 / (std::pow(2.0, -(q / 100.0 * 14.0 - 7.0)) + 1.0);
}

double ExpSyncFct::evaluate(unsigned, const double* args)
{
    const double q = wrapAbovePeriod(args[0]);
    return (std::pow(1.3, q / 100.0 * 10.0) - 1.0) / (expMax - 1.0) * 100.0;
}

double LogSyncFct::evaluate(unsigned, const double* args)
{
    const double q = wrapAbovePeriod(args[0]);
    return std::log10(q / 100.0 * 9.0 + 1.0) * 100.0;
}

double MathCosFct::evaluate(unsigned, const double* args)
{
    return std::cos(degreesToRadians(args[0]));
}

double MathACosFct::evaluate(unsigned, const double* args)
{
    return radiansToDegrees(std::acos(args[0]));
}

double MathSinFct::evaluate(unsigned, const double* args)
{
    return std::sin(degreesToRadians(args[0]));
}

double MathASinFct::evaluate(unsigned, const double* args)
{
    return radiansToDegrees(std::asin(args[0]));
}

double MathTanFct::evaluate(unsigned, const double* args)
{
    return std::tan(degreesToRadians(args[0]));
}

double MathATanFct::evaluate(unsigned, const double* args)
{
    return radiansToDegrees(std::atan(args[0]));
}

double MathAngleBetweenFct::evaluate(unsigned, const double* args)
{
    return direction(args[2] - args[0], args[3] - args[1]);
}

// The axes are answered exactly; elsewhere the angle to the x axis is folded into its quadrant.
double MathAngleBetweenFct::direction(double dx, double dy)
{
    if (dx == 0.0) {
        if (dy == 0.0)
            return zr::nan();
        return dy > 0.0 ? 90.0 : 270.0;
    }
    if (dy == 0.0)
        return dx > 0.0 ? 0.0 : 180.0;
    const double a = radiansToDegrees(std::atan(std::fabs(dy) / std::fabs(dx)));
    if (dx > 0.0 && dy > 0.0)
        return a;
    if (dx > 0.0 && dy < 0.0)
        return 360.0 - a;
    if (dx < 0.0 && dy > 0.0)
        return 180.0 - a;
    // Both negative; a NaN coordinate also lands here and gives NaN through a.
    return 180.0 + a;
}

// Straight up or down when the points share their horizontal position (two equal points count
// as looking down).
double MathElevationAngleFct::evaluate(unsigned, const double* args)
{
    const double dx = args[3] - args[0];
    const double dy = args[4] - args[1];
    const double dz = args[5] - args[2];
    const double horizontal = std::sqrt(dx * dx + dy * dy);
    if (horizontal == 0.0)
        return dz > 0.0 ? 90.0 : -90.0;
    const double a = radiansToDegrees(std::atan(std::fabs(dz) / horizontal));
    return dz > 0.0 ? a : -a;
}

// Arguments: x1, y1, z1, x2, y2, z2.
double Distance3Fct::evaluate(unsigned, const double* args)
{
    const double dx = args[0] - args[3];
    const double dy = args[1] - args[4];
    const double dz = args[2] - args[5];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Arguments: x1, y1, x2, y2.
double DistanceFct::evaluate(unsigned, const double* args)
{
    const double dx = args[0] - args[2];
    const double dy = args[1] - args[3];
    return std::sqrt(dx * dx + dy * dy);
}

// Moves the stored position so that the motor points at gotoDegrees and returns it. Of the two
// ways round, a move that stays inside the travel wins; among those, the one ending nearer the
// middle and moving less; on a tie the backward move unless it is the longer one. When both
// leave the travel the shorter one is still taken. An unusable angle, a travel that is 0 or not
// finite, or a move whose result would not be finite leaves the position as it is, so the
// stored position is always a finite number.
double MotorPanFct::evaluate(unsigned, const double* args)
{
    const double gotoDegrees = args[0];
    const double travelDegrees = args[1];
    if (!zr::isUsable(gotoDegrees) || !zr::isUsable(travelDegrees) || travelDegrees == 0.0)
        return position;

    const double target = std::fmod(gotoDegrees, 360.0);
    const double percentPerDegree = 100.0 / travelDegrees;
    const double current = std::fmod(position / 100.0 * travelDegrees, 360.0);
    const double d = target - current;
    if (std::fabs(d) < 0.01)
        return position;

    double forward;
    double backward;
    if (target > current) {
        forward = d;
        backward = -(360.0 - d);
    } else {
        forward = 360.0 - current + target;
        backward = d;
    }

    const double forwardCost = panMoveCost(position, forward * percentPerDegree);
    const double backwardCost = panMoveCost(position, backward * percentPerDegree);
    double move;
    if (backwardCost < forwardCost)
        move = backward;
    else if (forwardCost < backwardCost)
        move = forward;
    else
        move = std::fabs(backward) > std::fabs(forward) ? forward : backward;

    // A tiny travel can overflow the percent scale; such a move is not made.
    const double next = position + move * percentPerDegree;
    if (zr::isUsable(next))
        position = next;
    return position;
}
