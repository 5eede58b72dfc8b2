// Loops and sequences: play expressions given as text one after another, crossfading between them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrFctParamTokenizer.h"
#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrParser.h"

// Compiles each expression text of its call in a child parser of its own and plays one of them
// per slot of time, evaluating only the expressions that are playing. The calling program passes
// the fixed arguments and, last, the host's time increment ("__timeInc()").
class BaseLoopFct : public ZrFctParamTokenizer::ClientFctI {
protected:
    std::vector<std::unique_ptr<ZrParser>> subParsers; // null for an empty text
    std::int32_t currentIndex = 0;
    ZrParser* currentParser = nullptr;
    ZrParser* previousParser = nullptr;
    double crossfadeElapsed = 0.0;
    double elapsedInSlot = 0.0;
    bool isCrossfading = false;
    bool restartRequested = false;

public:
    bool hasSpawnedItems() override { return true; }
    // Compiles the fixed arguments into the calling program, each further text into a child
    // parser (an empty text gives a null entry), then "__timeInc()" as the last argument.
    // Throws the overloaded-function error for too few texts or when every expression text is
    // empty. A failure after the count check gets an invalid-syntax entry naming the 1-based
    // argument; failures after the last text (no playable text, no "__timeInc") name the
    // argument after the last one.
    void onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar,
                  unsigned pos) override;
    // How many places after the current entry the next one lies.
    virtual int nextStep() = 0;

    // args: totalDuration, crossfadeDuration, [resetFct,] timeIncrement. Each entry plays for
    // totalDuration / (number of entries, empty ones included).
    double evaluate(unsigned nbArgs, const double* args) override;

protected:
    // Restarts the slot time with `next` playing (currentIndex is the caller's). A null next
    // keeps the expression that was playing; a different expression starts a crossfade from it.
    void startSlot(ZrParser* next);
    // Advances the clocks by dt and returns the playing expression, blended with the one being
    // faded out while a crossfade of length fade runs.
    double play(double dt, double fade);
    void dropSubParsers();
};

class LoopFct : public ZrFunctionBase<LoopFct, BaseLoopFct> {
public:
    static constexpr ZrFunctionInfo info{
        L"loop", nullptr, L"loop(totalDuration, crossfadeDuration, fct1, fct2, fct3, ...)",
        L"Cycle through all the functions in the given duration. Crossfade when switching function.", 3, false,
        false};
    int nextStep() override { return 1; }
};

class RandLoopFct : public ZrFunctionBase<RandLoopFct, BaseLoopFct> {
public:
    static constexpr ZrFunctionInfo info{
        L"randloop", nullptr, L"randloop(totalDuration, crossfadeDuration, fct1, fct2, fct3, ...)",
        L"Select a random function at regular interval. Crossfade when switching function.", 3, false, false};
    int nextStep() override;
    bool usesProcessState() const override { return true; }
};

// Plays each entry once and stays on the last; a positive resetFct goes back to the first.
class SequenceFct : public ZrFunctionBase<SequenceFct, BaseLoopFct> {
public:
    static constexpr ZrFunctionInfo info{
        L"sequence", nullptr, L"sequence(totalDuration, crossfadeDuration, resetFct, fct1, fct2, fct3, ...)",
        L"Play each function once for the given total duration. Crossfade when switching function. Reset when "
        L"resetFct is positive.",
        4, false, false};
    int nextStep() override;
    // args: totalDuration, crossfadeDuration, resetFct, timeIncrement.
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Plays (duration, expression) pairs, repeats them nbRepeats more times (for ever when
// negative) and then stays on the end expression, or on the last pair's expression.
class TimedSequenceFct : public ZrFunctionBase<TimedSequenceFct, BaseLoopFct> {
    std::int32_t repeatCount = 0;

public:
    static constexpr ZrFunctionInfo info{
        L"timedsequence", nullptr,
        L"timedSequence(nbRepeats, crossfadeDuration, resetFct, time1, fct1, time2, fct2, time3, fct3, ..., "
        L"[endFct])",
        L"Play each function for the specified duration. Repeat the sequence nbRepeats times or indefinitely if "
        L"less than 0. Crossfade when switching function. Reset when resetFct is positive. Optional endFct played "
        L"when the sequence ends.",
        4, false, false};

    // As the base, then requires at least one (time, expression) pair, and rejects an empty
    // time text or an empty fct1 with the invalid-syntax error naming that argument, so that
    // every duration and the first expression can always be evaluated.
    void onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar,
                  unsigned pos) override;
    int nextStep() override { return 0; }
    // args: nbRepeats, crossfadeDuration, resetFct, timeIncrement.
    double evaluate(unsigned nbArgs, const double* args) override;
};
