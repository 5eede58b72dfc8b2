// Fades, evaluation by evaluation: the course of a fade along each curve, following moves
// against the fade's direction at once, changes of the step count, and NaN inputs.
#include "Func/Fades.h"
#include "frame_sequence_support.h"

namespace {


// n frames of the same arguments.
std::vector<Args> repeat(int n, double nbsteps, double value) { return std::vector<Args>(n, Args{nbsteps, value}); }

std::vector<Args> operator+(std::vector<Args> a, const std::vector<Args>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Fades, FadeInRisesOverTheStepCountAndFollowsDropsAtOnce)
{
    const Sequence cases[] = {
        {"a jump from 0 to 50 takes ten evaluations", &spawnOf<FadeinLinearFct>,
         repeat(1, 10, 0) + repeat(11, 10, 50), {0, 0, 5, 10, 15, 20, 25, 30, 35, 40, 50, 50}},
        {"a drop is followed at once, also in the middle of a fade", &spawnOf<FadeinLinearFct>,
         repeat(10, 10, 50) + repeat(1, 10, 20) + repeat(2, 10, 40) + repeat(1, 10, 10),
         {0, 5, 10, 15, 20, 25, 30, 35, 40, 50, 20, 20, 22, 10}},
        {"a rise during a fade keeps the target; a new fade starts from it", &spawnOf<FadeinLinearFct>,
         repeat(1, 10, 50) + repeat(11, 10, 80), {0, 5, 10, 15, 20, 25, 30, 35, 40, 50, 50, 53}},
        {"the fade keeps its progress when the step count changes", &spawnOf<FadeinLinearFct>,
         repeat(5, 10, 50) + repeat(2, 20, 50) + repeat(1, 5, 50) + repeat(1, 5, 50),
         {0, 5, 10, 15, 20, 25, 27.5, 30, 50}},
        {"nbsteps 0 passes the input through and cancels the fade", &spawnOf<FadeinLinearFct>,
         repeat(2, 10, 50) + repeat(1, 0, 30) + repeat(1, 10, 30) + repeat(2, 10, 40), {0, 5, 30, 30, 30, 31}},
        {"one step, or fewer, lands on the target at once", &spawnOf<FadeinLinearFct>,
         repeat(1, 1, 50) + repeat(1, 0.5, 80) + repeat(1, -3, 90), {50, 80, 90}},
    };
    for (const Sequence& s : cases)
        expectSequence(s, 1e-6);
}

TEST(Fades, FadeOutFallsOverTheStepCountAndFollowsRisesAtOnce)
{
    const Sequence cases[] = {
        {"a drop from 50 to 20 takes ten evaluations, a rise is followed", &spawnOf<FadeoutLinearFct>,
         repeat(1, 10, 50) + repeat(10, 10, 20) + repeat(1, 10, 40),
         {50, 50, 47, 44, 41, 38, 35, 32, 29, 26, 20, 40}},
        {"a negative first value fades down from 0", &spawnOf<FadeoutLinearFct>, repeat(3, 4, -40), {0, -10, -20}},
        {"a drop during a fade keeps the target; a new fade starts from it", &spawnOf<FadeoutLinearFct>,
         repeat(1, 2, 100) + repeat(1, 2, 50) + repeat(3, 2, 0), {100, 100, 50, 50, 0}},
        {"the fade keeps its progress when the step count changes", &spawnOf<FadeoutLinearFct>,
         repeat(1, 10, 100) + repeat(5, 10, 0) + repeat(1, 20, 0) + repeat(1, 5, 0) + repeat(1, 5, 0),
         {100, 100, 90, 80, 70, 60, 50, 40, 0}},
    };
    for (const Sequence& s : cases)
        expectSequence(s, 1e-6);
}

// A fade over four steps between 0 and 100 shows each curve at 0, 1/4 and 1/2 of the way,
// then lands on the target.
TEST(Fades, EachCurveShapesTheWayToTheTarget)
{
    const std::vector<Args> up = repeat(4, 4, 100);
    const std::vector<Args> down = repeat(1, 4, 100) + repeat(4, 4, 0);
    const Sequence cases[] = {
        {"linear in", &spawnOf<FadeinLinearFct>, up, {0, 25, 50, 100}},
        {"sigmoid in", &spawnOf<FadeinSigmoidFct>, up, {0.775194, 8.121030, 50, 100}},
        {"exponential in", &spawnOf<FadeinExpFct>, up, {0, 7.249393, 21.218223, 100}},
        {"logarithmic in", &spawnOf<FadeinLogFct>, up, {0, 51.188336, 74.036269, 100}},
        {"linear out", &spawnOf<FadeoutLinearFct>, down, {100, 100, 75, 50, 0}},
        {"sigmoid out", &spawnOf<FadeoutSigmoidFct>, down, {100, 99.224806, 91.878970, 50, 0}},
        {"exponential out", &spawnOf<FadeoutExpFct>, down, {100, 100, 92.750607, 78.781777, 0}},
        {"logarithmic out", &spawnOf<FadeoutLogFct>, down, {100, 100, 48.811664, 25.963731, 0}},
    };
    for (const Sequence& s : cases)
        expectSequence(s, 1e-6);
}

// What a call with constant arguments is folded into: the first evaluation of a fresh instance.
TEST(Fades, FirstEvaluationOfAFreshFade)
{
    const Sequence cases[] = {
        {"linear in starts from 0", &spawnOf<FadeinLinearFct>, {{10, 50}}, {0}},
        {"sigmoid in starts a 129th of the way", &spawnOf<FadeinSigmoidFct>, {{10, 129}}, {1}},
        {"exponential in of a negative value passes it", &spawnOf<FadeinExpFct>, {{10, -5}}, {-5}},
        {"logarithmic in with nbsteps 0 passes the value", &spawnOf<FadeinLogFct>, {{0, 50}}, {50}},
        {"sigmoid out of a positive value passes it", &spawnOf<FadeoutSigmoidFct>, {{10, 50}}, {50}},
        {"exponential out with one step lands on a negative value", &spawnOf<FadeoutExpFct>, {{1, -5}}, {-5}},
    };
    for (const Sequence& s : cases)
        expectSequence(s, 1e-6);
    EXPECT_TRUE(FadeinLinearFct().isConstant());
    EXPECT_TRUE(FadeoutLogFct().isConstant());
}

// NaN fails every comparison: it never starts or ends a fade, passes through when idle and lets
// a running fade go on. An unusable step count means a single step.
TEST(Fades, NaNNeitherStartsNorEndsAFade)
{
    const Sequence cases[] = {
        {"fade-in, idle", &spawnOf<FadeinLinearFct>, repeat(1, 10, NaN) + repeat(1, 10, 50) + repeat(2, 10, 100),
         {NaN, 50, 50, 55}},
        {"fade-in, fading", &spawnOf<FadeinSigmoidFct>, repeat(1, 2, 100) + repeat(2, 2, NaN) + repeat(1, 2, 50),
         {100.0 / 129, 100, NaN, 50}},
        {"fade-in, fading through NaN", &spawnOf<FadeinLinearFct>, repeat(1, 4, 100) + repeat(3, 4, NaN),
         {0, 25, 50, 100}},
        {"fade-out, idle", &spawnOf<FadeoutExpFct>, repeat(1, 10, NaN) + repeat(1, 10, -50), {NaN, -50}},
        {"fade-out, fading through NaN", &spawnOf<FadeoutLinearFct>,
         repeat(1, 4, 100) + repeat(1, 4, 0) + repeat(3, 4, NaN), {100, 100, 75, 50, 0}},
        {"fade-in with an unusable step count", &spawnOf<FadeinLogFct>, {{NaN, 50}, {inf, 80}}, {50, 80}},
        {"fade-out with an unusable step count", &spawnOf<FadeoutLogFct>, {{10, 80}, {NaN, 50}, {-inf, 20}},
         {80, 50, 20}},
    };
    for (const Sequence& s : cases)
        expectSequence(s, 1e-6);
}

} // namespace
