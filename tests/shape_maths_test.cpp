// Shape mappings, degree trigonometry, point geometry and the pan-motor optimiser.
#include "Func/ShapeMaths.h"
#include "frame_sequence_support.h"

namespace {

struct ValueCase {
    const char* what;
    std::unique_ptr<ZrFunctionI> fct;
    Args args;
    double expected;
};

const double kExpHalf = (std::pow(1.3, 5.0) - 1.0) / (std::pow(1.3, 10.0) - 1.0) * 100.0;

TEST(ShapeMaths, StatelessFunctionsGiveTheirCurveValues)
{
    const ValueCase cases[] = {
        {"sin at 0", spawnOf<SinSyncFct>(), {0}, 50}, {"sin at 25", spawnOf<SinSyncFct>(), {25}, 100},
        {"sin at 50", spawnOf<SinSyncFct>(), {50}, 50}, {"sin at 75", spawnOf<SinSyncFct>(), {75}, 0},
        {"cos at 0", spawnOf<CosSyncFct>(), {0}, 100}, {"cos at 50", spawnOf<CosSyncFct>(), {50}, 0},
        {"triangle at 0", spawnOf<TriangleSyncFct>(), {0}, 100}, {"triangle at 100", spawnOf<TriangleSyncFct>(), {100}, 100},
        {"triangle at 50", spawnOf<TriangleSyncFct>(), {50}, 0}, {"triangle at 125", spawnOf<TriangleSyncFct>(), {125}, 50},
        {"sawtooth wraps", spawnOf<SawtoothSyncFct>(), {150}, 50}, {"sawtooth at 100", spawnOf<SawtoothSyncFct>(), {100}, 0},
        {"sawtooth keeps the sign", spawnOf<SawtoothSyncFct>(), {-130}, -30},
        {"sigmoid at 0", spawnOf<SigmoidSyncFct>(), {0}, 100.0 / 129.0}, {"sigmoid at 50", spawnOf<SigmoidSyncFct>(), {50}, 50},
        {"sigmoid at 100", spawnOf<SigmoidSyncFct>(), {100}, 12800.0 / 129.0}, {"sigmoid wraps 150", spawnOf<SigmoidSyncFct>(), {150}, 50},
        {"exp at 0", spawnOf<ExpSyncFct>(), {0}, 0}, {"exp at 100", spawnOf<ExpSyncFct>(), {100}, 100},
        {"exp wraps 250", spawnOf<ExpSyncFct>(), {250}, kExpHalf}, {"exp of a negative is not wrapped", spawnOf<ExpSyncFct>(), {-100},
            (std::pow(1.3, -10.0) - 1.0) / (std::pow(1.3, 10.0) - 1.0) * 100.0},
        {"log at 0", spawnOf<LogSyncFct>(), {0}, 0}, {"log at 100", spawnOf<LogSyncFct>(), {100}, 100},
        {"log wraps 250", spawnOf<LogSyncFct>(), {250}, std::log10(5.5) * 100.0},
        {"sin of 90 degrees", spawnOf<MathSinFct>(), {90}, 1}, {"cos of 180 degrees", spawnOf<MathCosFct>(), {180}, -1},
        {"tan of 45 degrees", spawnOf<MathTanFct>(), {45}, 1}, {"asin of 1", spawnOf<MathASinFct>(), {1}, 90},
        {"acos of -1", spawnOf<MathACosFct>(), {-1}, 180}, {"atan of -1", spawnOf<MathATanFct>(), {-1}, -45},
        {"distance in the plane", spawnOf<DistanceFct>(), {1, 1, 4, 5}, 5},
        {"distance in space", spawnOf<Distance3Fct>(), {1, 2, 3, 4, 6, 15}, 13},
        {"angle first quadrant", spawnOf<MathAngleBetweenFct>(), {0, 0, 1, 1}, 45},
        {"angle second quadrant", spawnOf<MathAngleBetweenFct>(), {0, 0, -1, 1}, 135},
        {"angle third quadrant", spawnOf<MathAngleBetweenFct>(), {0, 0, -1, -1}, 225},
        {"angle fourth quadrant", spawnOf<MathAngleBetweenFct>(), {0, 0, 1, -1}, 315},
        {"angle straight down", spawnOf<MathAngleBetweenFct>(), {0, 0, 0, -1}, 270},
        {"angle to the left", spawnOf<MathAngleBetweenFct>(), {5, 5, 2, 5}, 180},
        {"angle from an offset point", spawnOf<MathAngleBetweenFct>(), {1, 1, 1 + std::sqrt(3.0), 2}, 30},
        {"elevation up", spawnOf<MathElevationAngleFct>(), {0, 0, 0, 1, 0, 1}, 45},
        {"elevation down", spawnOf<MathElevationAngleFct>(), {0, 0, 0, 1, 0, -1}, -45},
        {"elevation straight up", spawnOf<MathElevationAngleFct>(), {0, 0, 0, 0, 0, 1}, 90},
        {"elevation of one point", spawnOf<MathElevationAngleFct>(), {0, 0, 0, 0, 0, 0}, -90},
    };
    for (const ValueCase& c : cases)
        EXPECT_NEAR(call(*c.fct, c.args), c.expected, 1e-9) << c.what;
}

TEST(ShapeMaths, UndefinedAnswersAreNaN)
{
    MathAngleBetweenFct angle;
    EXPECT_TRUE(std::isnan(call(angle, {3, 4, 3, 4})));
    MathASinFct asin;
    EXPECT_TRUE(std::isnan(call(asin, {1.5})));
}

TEST(MotorPan, ChoosesTheDirectionThatStaysInsideTheTravelNearTheMiddle)
{
    struct Case {
        double gotoDegrees, travel, expected;
    };
    // 90 degrees forward from the middle of a 360 degree travel would leave it; a 540 degree
    // travel prefers the short forward move; when both leave a 180 degree travel the shorter wins;
    // a half turn costs the same both ways and goes backward.
    const Case cases[] = {{90, 360, 25}, {0, 540, 200.0 / 3.0}, {200, 180, 1000.0 / 9.0}, {0, 360, 0}};
    for (const Case& c : cases) {
        MotorPanFct pan;
        EXPECT_NEAR(call(pan, {c.gotoDegrees, c.travel}), c.expected, 1e-9) << c.gotoDegrees << " on " << c.travel;
    }
}

TEST(MotorPan, SweepsStayInsideTheTravelAndPointAtTheAngle)
{
    for (double travel : {360.0, 540.0, 630.0}) {
        MotorPanFct pan;
        auto check = [&](double degrees) {
            const double position = call(pan, {degrees, travel});
            ASSERT_GE(position, 0.0) << degrees << " on " << travel;
            ASSERT_LE(position, 100.0) << degrees << " on " << travel;
            const double pointing = std::fmod(position / 100.0 * travel, 360.0);
            const double miss = std::fabs(std::remainder(pointing - std::fmod(degrees, 360.0), 360.0));
            ASSERT_LT(miss, 0.01) << degrees << " on " << travel;
        };
        for (double degrees = 0; degrees <= 720; degrees += 0.25)
            check(degrees);
        for (double degrees = 720; degrees >= 0; degrees -= 0.7)
            check(degrees);
        for (int i = 0; i < 2000; ++i)
            check((i * 7919 % 7200) / 10.0);
    }
}

TEST(MotorPan, UnusableArgumentsKeepTheStoredPosition)
{
    MotorPanFct pan;
    ASSERT_DOUBLE_EQ(call(pan, {90, 360}), 25);
    for (double travel : {0.0, -0.0, NaN, inf, -inf, 1e-310})
        EXPECT_EQ(call(pan, {90 + 45, travel}), 25) << travel;
    for (double degrees : {NaN, inf, -inf})
        EXPECT_EQ(call(pan, {degrees, 360}), 25) << degrees;
    EXPECT_DOUBLE_EQ(call(pan, {180, 360}), 50);
}

} // namespace
