// The host set-up of a parser: what a lighting application does before compiling a formula.
#include "zrhost/HostParser.h"

#include <filesystem>

#include <locale.h>

#include "zrcomponent/ZrComponentModule.h"
#include "zrhost/LibraryFailure.h"
#include "zrhost/SignalModule.h"
#include "zrparser/ZrUtf8.h"
#include "zrsignal/CSignalPlugin.h"

namespace zrhost {

namespace {

// "__timeInc()": the phase step of one frame, 2π / fps, so that the loop functions measure
// their durations in seconds; or a step the host gives each frame (2π × the beats of the frame,
// for durations in beats). Configuration, not state, so spawn keeps it.
class TimeIncrementFct final : public ZrFunctionI {
    double increment_;
    const double* host_;

public:
    TimeIncrementFct(double increment, const double* host) : increment_(increment), host_(host) {}

    double evaluate(unsigned, const double*) override { return host_ ? *host_ : increment_; }

    const wchar_t* getSymbol() const override { return L"__timeInc"; }
    const wchar_t* getHelpString() const override { return L"__timeInc()"; }
    const wchar_t* getDescription() const override { return L"Phase step of one frame: 2 pi / fps."; }
    bool isConstant() const override { return false; }
    int getNbArgs() const override { return 0; }
    bool isShareable() const override { return true; }
    ZrFunctionI* spawn() const override { return new TimeIncrementFct(increment_, host_); }
};

// Runs one definition step, turning a library exception into a report about `subject`.
template <class Step>
void define(const std::string& subject, Step step)
{
    try {
        step();
    } catch (const ZrParserException& e) {
        throw LibraryFailure(e, zr::fromUtf8(subject));
    }
}

// Loads a plug-in named by a module file (registered for this process only) or by a class id
// or ProgID that the class table or the registry knows.
void loadPlugin(ZrParser& parser, const std::string& text)
{
    const std::wstring wide = zr::fromUtf8(text);
    if (std::filesystem::is_regular_file(text)) {
        std::vector<std::wstring> classIds;
        if (zr::succeeded(zr::registerModuleForProcess(text, classIds))) {
            for (const std::wstring& id : classIds)
                parser.loadPlugin(id.c_str());
            return;
        }
    }
    // Not a usable module file: the library reports the name it cannot find.
    parser.loadPlugin(wide.c_str());
}

} // namespace

double* HostVariables::add(const std::string& name, double initial, const std::string& definitionText)
{
    variables_.push_back({name, initial, definitionText});
    return &variables_.back().value;
}

std::unique_ptr<ZrParser> makeHostParser(const HostDefinitions& definitions, HostVariables& variables)
{
    auto parser = std::make_unique<ZrParser>();
    if (definitions.signalPlugin) {
        useSignalModule();
        define("ZrSignalPlugin.SignalPlugin", [&] {
            makeRoomForSignalPlugin(*parser);
            parser->loadPlugin(PROGID_SignalPlugin);
            parser->defineFunc(new TimeIncrementFct(zr::TWO_PI / definitions.fps, definitions.timeIncrement));
        });
    }
    for (const std::string& plugin : definitions.plugins)
        define(plugin, [&] { loadPlugin(*parser, plugin); });
    if (!definitions.pluginDir.empty())
        define(definitions.pluginDir,
               [&] { parser->loadAllPlugins(zr::fromUtf8(definitions.pluginDir).c_str(), zr::fromUtf8(definitions.pluginPattern).c_str()); });
    // The user's locale only while the parser takes its decimal point from it, and only on this
    // thread: the library reads numbers with the C runtime, which must go on reading '.'.
    if (definitions.useLocale) {
        if (const locale_t user = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
            const locale_t previous = uselocale(user);
            parser->useLocaleSettings();
            uselocale(previous);
            freelocale(user);
        }
    }
    for (HostVariables::Variable& variable : variables.all()) {
        define(variable.definitionText,
               [&] { parser->defineVar(zr::fromUtf8(variable.name).c_str(), &variable.value); });
    }
    for (const NamedNumber& constant : definitions.constants)
        define(constant.text, [&] { parser->defineConst(zr::fromUtf8(constant.name).c_str(), constant.value); });
    for (const MacroText& macro : definitions.macros)
        defineMacro(*parser, macro);
    return parser;
}

void defineMacro(ZrParser& parser, const MacroText& macro)
{
    // A prototype failure points into the prototype, a body failure into the body.
    try {
        parser.defineMacro(zr::fromUtf8(macro.prototype).c_str(), zr::fromUtf8(macro.body).c_str(), L"");
    } catch (const ZrParserException& e) {
        bool inPrototype = false;
        for (unsigned i = 0; i < e.getNbExceptions(); ++i)
            inPrototype = inPrototype || e.getEntry(i).data.id == L"ZRDEFEXCEP_MacroProtoSyntax";
        throw LibraryFailure(e, zr::fromUtf8(macro.text), inPrototype ? 0 : zr::fromUtf8(macro.prototype).size() + 1);
    }
}

void compileExpression(ZrParser& parser, const std::string& expression)
{
    const std::wstring wide = zr::fromUtf8(expression);
    try {
        parser.compile(wide.c_str());
    } catch (const ZrParserException& e) {
        throw LibraryFailure(e, wide);
    }
}

} // namespace zrhost
