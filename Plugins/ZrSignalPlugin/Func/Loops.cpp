// Compilation of the loop and sequence calls into child parsers, and their playing with crossfades.
#include "Func/Loops.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "zrparser/ZrParser.h"
#include "zrparser/ZrPlatform.h"

void BaseLoopFct::dropSubParsers()
{
    subParsers.clear();
    currentParser = nullptr;
    previousParser = nullptr;
}

void BaseLoopFct::onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar,
                           unsigned pos)
{
    dropSubParsers();
    const unsigned nbTexts = static_cast<unsigned>(params.size());
    const unsigned nbFixed = static_cast<unsigned>(getNbArgs()) - 1;
    if (nbTexts <= nbFixed)
        compiler->throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", pos, getSymbol(), nbTexts);
    unsigned argument = 1;
    try {
        for (; argument <= nbFixed; ++argument)
            compiler->compileSubExpr(params[argument - 1].c_str());
        for (; argument <= nbTexts; ++argument) {
            const std::wstring& text = params[argument - 1];
            if (text.empty()) {
                subParsers.push_back(nullptr);
                continue;
            }
            ZrParser* parser = subParsers.emplace_back(ZrParser::makeArgumentParser(compiler, registrar)).get();
            if (!currentParser) {
                currentParser = parser;
                currentIndex = static_cast<std::int32_t>(subParsers.size() - 1);
            }
            parser->compile(text.c_str());
        }
        if (!currentParser)
            compiler->throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", pos, getSymbol(), nbTexts);
        compiler->compileSubExpr(L"__timeInc()");
    } catch (ZrParserException& e) {
        ZR_RETHROW_WITH(e, ZrExcepData(L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"pos",
                                       std::to_wstring(compiler->getTextPos(pos)), L"itemName", getSymbol(), L"param1",
                                       std::to_wstring(argument)));
    }
}

// The switch test uses the time reached before this evaluation, so a slot lasts the first whole
// number of evaluations whose time reaches it.
double BaseLoopFct::evaluate(unsigned nbArgs, const double* args)
{
    if (!currentParser)
        return zr::nan(); // never given its texts
    const auto nbEntries = static_cast<std::int32_t>(subParsers.size());
    const double slot = args[0] / nbEntries;
    const double fade = std::min(slot, args[1]);
    if (elapsedInSlot >= slot || restartRequested) {
        std::int32_t index = 0;
        if (restartRequested)
            restartRequested = false;
        else
            index = (nextStep() + currentIndex) % nbEntries;
        currentIndex = index;
        startSlot(subParsers[index].get());
    }
    return play(args[nbArgs - 1] / zr::TWO_PI, fade);
}

void BaseLoopFct::startSlot(ZrParser* next)
{
    previousParser = currentParser;
    elapsedInSlot = 0.0;
    isCrossfading = false;
    if (!next)
        return;
    currentParser = next;
    if (currentParser != previousParser) {
        isCrossfading = true;
        crossfadeElapsed = 0.0;
    }
}

// The first evaluation of a crossfade already gives the new expression the weight dt / fade.
double BaseLoopFct::play(double dt, double fade)
{
    elapsedInSlot += dt;
    crossfadeElapsed += dt;
    if (crossfadeElapsed >= fade)
        isCrossfading = false;
    if (isCrossfading) {
        const double w = crossfadeElapsed / fade;
        const double fadingOut = previousParser->evaluate();
        const double fadingIn = currentParser->evaluate();
        return fadingOut * (1.0 - w) + fadingIn * w;
    }
    return currentParser->evaluate();
}

int RandLoopFct::nextStep()
{
    return zr::rand() % 666;
}

int SequenceFct::nextStep()
{
    return currentIndex < static_cast<std::int32_t>(subParsers.size()) - 1 ? 1 : 0;
}

// While resetFct stays positive every evaluation restarts the sequence, holding it on its first
// expression.
double SequenceFct::evaluate(unsigned nbArgs, const double* args)
{
    if (args[2] > 0.0)
        restartRequested = true;
    return BaseLoopFct::evaluate(nbArgs, args);
}

void TimedSequenceFct::onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar,
                                unsigned pos)
{
    const auto nbTexts = static_cast<unsigned>(params.size());
    BaseLoopFct::onParams(std::move(params), compiler, registrar, pos);
    if (subParsers.size() < 2)
        compiler->throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", pos, getSymbol(), nbTexts);
    // Entry i is written argument getNbArgs() + i; the durations sit at even entries.
    const size_t pairEntries = subParsers.size() / 2 * 2;
    for (size_t i = 0; i < pairEntries; ++i) {
        if ((i % 2 == 0 || i == 1) && !subParsers[i])
            compiler->throwFuncExcep(L"ZRPARSINGEXCEP_InvalidFuncSyntax", pos, getSymbol(),
                                     static_cast<unsigned>(getNbArgs() + i));
    }
    currentIndex = 0;
    currentParser = subParsers[1].get();
}

// The duration of the playing pair is evaluated on every evaluation, so it may change while the
// pair plays. After the last pass the end expression plays; each time its slot expires the end
// test passes again and it stays.
double TimedSequenceFct::evaluate(unsigned nbArgs, const double* args)
{
    if (!currentParser)
        return zr::nan(); // never given its texts
    const double nbRepeats = args[0];
    const auto nbPairs = static_cast<std::int32_t>(subParsers.size() / 2);
    if (args[2] > 0.0)
        restartRequested = true;
    const double slot = subParsers[2 * currentIndex]->evaluate();
    const double fade = std::min(slot, args[1]);
    if (elapsedInSlot >= slot || restartRequested) {
        ZrParser* next = nullptr;
        if (restartRequested) {
            currentIndex = 0;
            repeatCount = 0;
            restartRequested = false;
            next = subParsers[1].get();
        } else {
            if (++currentIndex >= nbPairs) {
                // Saturates so that an ended sequence never wraps back to playing.
                if (repeatCount < std::numeric_limits<std::int32_t>::max())
                    ++repeatCount;
                currentIndex = 0;
            }
            if (nbRepeats >= 0.0 && repeatCount > nbRepeats) {
                currentIndex = nbPairs - 1;
                next = subParsers.back().get();
            } else {
                next = subParsers[2 * currentIndex + 1].get();
            }
        }
        startSlot(next);
    }
    return play(args[nbArgs - 1] / zr::TWO_PI, fade);
}
