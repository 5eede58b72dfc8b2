// Parsers whose definitions are checked as they are made, and formulas that run frames into a
// NumPy array with the GIL released.
#include "PythonFormulas.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "PythonErrors.h"
#include "zrhost/FormulaHints.h"
#include "zrhost/FrameClock.h"
#include "zrhost/HostParser.h"
#include "zrhost/LibraryFailure.h"
#include "zrhost/NumberText.h"
#include "zrparser/ZrUtf8.h"

namespace py = pybind11;

namespace zrpython {

namespace {

// Frames run between two looks at Python's signals (Ctrl-C): a few milliseconds of work.
constexpr std::uint64_t FRAMES_BETWEEN_SIGNAL_CHECKS = 1u << 16;

void checkFrameRate(double fps)
{
    if (!zrhost::isFrameRate(fps))
        throw py::value_error("fps must be a positive finite number, not " + zrhost::formatNumber(fps));
}

// A library failure with the hints for it in Python's words.
[[noreturn]] void raiseWithHints(const zrhost::LibraryFailure& failure, ZrParser& parser)
{
    const auto hints = zrhost::formulaHints(zrhost::hintSubjectOf(failure), zrhost::FormulaNames::of(parser), pythonHints());
    raiseFormulaError(failure, hints);
}

} // namespace

// The definitions a parser's formulas are compiled with: each formula gets a host parser of its
// own (a parser holds one program), bound to the same variables. A probe parser holds every
// definition made so far, so that a refused one is reported when it is made.
class ParserSetup {
public:
    ParserSetup(double fps, std::optional<unsigned> seed, bool bare) : seed_(seed)
    {
        checkFrameRate(fps);
        definitions_.fps = fps;
        definitions_.signalPlugin = !bare;
        probe_ = zrhost::makeHostParser(definitions_, variables_);
    }

    double fps() const { return definitions_.fps; }
    std::optional<unsigned> seed() const { return seed_; }
    bool bare() const { return !definitions_.signalPlugin; }
    std::mutex& framesMutex() { return framesMutex_; }

    void defineVariable(const std::string& name, double value)
    {
        // Python calls come one at a time (the GIL); frames that run meanwhile only read the
        // values of variables already there, which adding one never moves.
        const std::string text = name + "=" + zrhost::formatNumber(value);
        double* storage = variables_.add(name, value, text);
        try {
            defineIn(*probe_, text, [&](ZrParser& parser) { parser.defineVar(zr::fromUtf8(name).c_str(), storage); });
        } catch (...) {
            variables_.all().pop_back();
            throw;
        }
    }

    void defineConstant(const std::string& name, double value)
    {
        const std::string text = name + "=" + zrhost::formatNumber(value);
        defineIn(*probe_, text, [&](ZrParser& parser) { parser.defineConst(zr::fromUtf8(name).c_str(), value); });
        definitions_.constants.push_back({name, value, text});
    }

    void defineMacro(const std::string& prototype, const std::string& body)
    {
        const zrhost::MacroText macro{prototype, body, prototype + "=" + body};
        zrhost::defineMacro(*probe_, macro);
        definitions_.macros.push_back(macro);
    }

    // A host parser with every definition so far, `text` compiled in it (the random sequence
    // seeded first when the parser has a seed, as `zrsignal eval --seed` does).
    std::unique_ptr<ZrParser> compile(const std::string& text)
    {
        auto parser = zrhost::makeHostParser(definitions_, variables_);
        compileIn(*parser, text);
        return parser;
    }

    void compileIn(ZrParser& parser, const std::string& text) const
    {
        if (seed_)
            std::srand(*seed_);
        try {
            zrhost::compileExpression(parser, text);
        } catch (const zrhost::LibraryFailure& failure) {
            raiseWithHints(failure, parser);
        }
    }

    // The variables a formula compiled now is bound to: the first `count` of them.
    std::size_t variableCount() const { return variables_.all().size(); }
    zrhost::HostVariables::Variable& variable(std::size_t index) { return variables_.all()[index]; }

private:
    template <class Step>
    static void defineIn(ZrParser& parser, const std::string& text, Step step)
    {
        try {
            step(parser);
        } catch (const ZrParserException& e) {
            raiseFormulaError(zrhost::LibraryFailure(e, zr::fromUtf8(text)));
        }
    }

    zrhost::HostDefinitions definitions_;
    zrhost::HostVariables variables_; // before the parsers, which read them at every evaluation
    std::unique_ptr<ZrParser> probe_;
    std::optional<unsigned> seed_;
    // Formulas of one parser share its variables: one of them runs frames at a time.
    std::mutex framesMutex_;
};

// One compiled formula, its state and its frame count, which go on from call to call.
class Formula {
public:
    Formula(std::shared_ptr<ParserSetup> setup, std::string text)
        : setup_(std::move(setup)), text_(std::move(text)), parser_(setup_->compile(text_)),
          variableCount_(setup_->variableCount())
    {
    }

    const std::string& text() const { return text_; }
    // Read by other Python threads while frames run, hence atomic (relaxed: a plain store on x86).
    std::uint64_t frame() const { return nextFrame_.load(std::memory_order_relaxed); }

    double evaluate()
    {
        const auto lock = lockWithoutGil(setup_->framesMutex());
        zrhost::FrameClock clock(zrhost::ClockMode::Simulated, setup_->fps());
        const std::uint64_t frame = nextFrame_.load(std::memory_order_relaxed);
        clock.enterFrame(frame);
        nextFrame_.store(frame + 1, std::memory_order_relaxed);
        return parser_->evaluate();
    }

    void reset()
    {
        const auto lock = lockWithoutGil(setup_->framesMutex());
        setup_->compileIn(*parser_, text_);
        nextFrame_.store(0, std::memory_order_relaxed);
    }

    py::array_t<double> run(std::optional<std::uint64_t> frames, std::optional<double> fps, const py::kwargs& given)
    {
        const double rate = fps.value_or(setup_->fps());
        checkFrameRate(rate);
        std::vector<InputArray> arrays; // kept for the run: the inputs point into them
        std::vector<Input> inputs = readInputs(given, frames, arrays);
        if (!frames)
            throw py::value_error("run() needs frames=N, or an array of inputs whose length is the frame count");
        py::array_t<double> result(static_cast<py::ssize_t>(*frames));
        double* out = result.mutable_data();

        const auto lock = lockWithoutGil(setup_->framesMutex());
        for (const Input& input : inputs) {
            if (!input.values)
                *input.target = input.constant;
        }
        for (std::uint64_t done = 0; done < *frames;) {
            const std::uint64_t batch = std::min(*frames - done, FRAMES_BETWEEN_SIGNAL_CHECKS);
            {
                const py::gil_scoped_release released;
                zrhost::FrameClock clock(zrhost::ClockMode::Simulated, rate);
                runBatch(inputs, done, batch, clock, out);
            }
            done += batch;
            checkSignals();
        }
        return result;
    }

private:
    using InputArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

    // One input of run(): an array with a value per frame, or one value for every frame.
    struct Input {
        double* target;
        const double* values = nullptr;
        double constant = 0.0;
    };

    void runBatch(const std::vector<Input>& inputs, std::uint64_t first, std::uint64_t count, zrhost::FrameClock& clock,
                  double* out)
    {
        for (std::uint64_t k = first; k < first + count; ++k) {
            for (const Input& input : inputs) {
                if (input.values)
                    *input.target = input.values[k];
            }
            const std::uint64_t frame = nextFrame_.load(std::memory_order_relaxed);
            clock.enterFrame(frame);
            nextFrame_.store(frame + 1, std::memory_order_relaxed);
            out[k] = parser_->evaluate();
        }
    }

    // Checks every keyword against the formula's variables and every array against the frame
    // count (taken from the first array when none is given); the arrays go into `arrays`.
    std::vector<Input> readInputs(const py::kwargs& given, std::optional<std::uint64_t>& frames,
                                  std::vector<InputArray>& arrays)
    {
        std::vector<Input> inputs;
        for (const auto& [key, value] : given) {
            const std::string name = py::cast<std::string>(key);
            double* target = variableNamed(name);
            auto array = InputArray::ensure(value);
            if (!array)
                throw py::type_error("input '" + name + "' must be a number or a one-dimensional array of numbers");
            if (array.ndim() == 0) {
                const double constant = *array.data();
                if (std::isnan(constant))
                    throw py::value_error("input '" + name + "' is NaN: a formula's inputs must be numbers");
                inputs.push_back({target, nullptr, constant});
                continue;
            }
            if (array.ndim() != 1)
                throw py::value_error("input '" + name + "' must be one-dimensional, one value per frame; it has " +
                                      std::to_string(array.ndim()) + " dimensions");
            const auto length = static_cast<std::uint64_t>(array.shape(0));
            if (!frames)
                frames = length;
            if (length != *frames)
                throw py::value_error("input '" + name + "' has " + std::to_string(length) + " values for " +
                                      std::to_string(*frames) + " frames");
            const double* values = array.data();
            for (std::uint64_t k = 0; k < length; ++k) {
                if (std::isnan(values[k]))
                    throw py::value_error("input '" + name + "' is NaN at frame " + std::to_string(k) +
                                          ": a formula's inputs must be numbers");
            }
            inputs.push_back({target, values, 0.0});
            arrays.push_back(std::move(array));
        }
        return inputs;
    }

    double* variableNamed(const std::string& name)
    {
        std::string known;
        for (std::size_t i = 0; i < variableCount_; ++i) {
            auto& variable = setup_->variable(i);
            if (variable.name == name)
                return &variable.value;
            known += (known.empty() ? "" : ", ") + variable.name;
        }
        throw py::value_error("the formula has no variable '" + name + "' (" +
                              (known.empty() ? std::string("it has none") : "its variables: " + known) +
                              "); define it with Parser.define_var before compiling");
    }

    std::shared_ptr<ParserSetup> setup_;
    std::string text_;
    std::unique_ptr<ZrParser> parser_;
    std::size_t variableCount_;
    std::atomic<std::uint64_t> nextFrame_{0};
};

void bindFormulas(py::module_& module)
{
    py::class_<ParserSetup, std::shared_ptr<ParserSetup>>(module, "Parser",
        "Definitions that formulas are compiled with: the signal plug-in, __timeInc for fps, variables, "
        "constants and macros, as zrsignal eval sets them up.")
        .def(py::init<double, std::optional<unsigned>, bool>(), py::arg("fps") = 40.0, py::arg("seed") = py::none(),
             py::arg("bare") = false)
        .def_property_readonly("fps", &ParserSetup::fps)
        .def_property_readonly("seed", &ParserSetup::seed)
        .def_property_readonly("bare", &ParserSetup::bare)
        .def("define_var", &ParserSetup::defineVariable, py::arg("name"), py::arg("value") = 0.0)
        .def("define_const", &ParserSetup::defineConstant, py::arg("name"), py::arg("value"))
        .def("define_macro", &ParserSetup::defineMacro, py::arg("prototype"), py::arg("body"))
        .def(
            "compile",
            [](const std::shared_ptr<ParserSetup>& setup, const std::string& text) {
                return std::make_unique<Formula>(setup, text);
            },
            py::arg("text"));

    py::class_<Formula>(module, "Formula", "A compiled formula, its state and its frame count.")
        .def_property_readonly("text", &Formula::text)
        .def_property_readonly("frame", &Formula::frame)
        .def("evaluate", &Formula::evaluate)
        .def("reset", &Formula::reset)
        .def("run", &Formula::run, py::arg("frames") = py::none(), py::kw_only(), py::arg("fps") = py::none())
        .def("__repr__", [](const Formula& formula) { return "zrsignal.Formula(" + py::repr(py::str(formula.text())).cast<std::string>() + ")"; });
}

} // namespace zrpython
