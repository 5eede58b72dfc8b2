// Conversion functions: hexadecimal and binary literals compiled into constants.
#include "ZrConvFunctions.h"

#include <cmath>

#include "zrparser/ZrException.h"
#include "zrparser/ZrPlatform.h"

const ZrFunctionInfo HexConvFunc::info{L"hex", nullptr, L"hex(hexNumber)", L"Converts an hexadecimal number to a decimal number",
                                  1, true, true};
const ZrFunctionInfo BinConvFunc::info{L"bin", nullptr, L"bin(binNumber)", L"Converts a binary number to a decimal number", 1,
                                  true, true};

void ZrConvFunctionI::init(ZrCompilerI* compiler, ZrRegistrarI* registrar)
{
    compiler_ = compiler;
    registrar_ = registrar;
    startPos_ = compiler->getCurPos();
}

void ZrConvFunctionI::onEnd()
{
    compiler_->throwPosExcep(L"ZRPARSINGEXCEP_MissingCloseBracket", startPos_);
}

// An invalid literal is reported where its text began, whatever convert itself raised.
void ZrConvFunctionI::onCloseBracket()
{
    const std::wstring text = compiler_->getCurToken();
    double value = 0.0;
    try {
        value = convert(text);
    } catch (ZrParserException&) {
        compiler_->throwFuncExcep(L"ZRPARSINGEXCEP_InvalidFuncSyntax",
                                  compiler_->getCurPos() - static_cast<unsigned>(text.size()), getSymbol(), 1);
    }
    compiler_->addConstValue(value);
    compiler_->endCurToken();
    compiler_->resumeState();
}

double ZrConvFunctionI::convertDigits(const std::wstring& text, double base, int (*digitOf)(wchar_t))
{
    const std::size_t n = text.size();
    double value = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const int digit = digitOf(text[i]);
        if (digit < 0)
            compiler_->throwFuncExcep(L"ZRPARSINGEXCEP_InvalidFuncSyntax", compiler_->getCurPos(), getSymbol(), 1);
        value += digit * std::pow(base, static_cast<double>(n - i - 1));
    }
    return value;
}

double HexConvFunc::convert(const std::wstring& text)
{
    return convertDigits(zr::toUpper(text), 16.0, [](wchar_t c) {
        if (c >= L'0' && c <= L'9')
            return static_cast<int>(c - L'0');
        if (c >= L'A' && c <= L'F')
            return static_cast<int>(c - L'A' + 10);
        return -1;
    });
}

double BinConvFunc::convert(const std::wstring& text)
{
    return convertDigits(text, 2.0, [](wchar_t c) { return c == L'0' ? 0 : c == L'1' ? 1 : -1; });
}
