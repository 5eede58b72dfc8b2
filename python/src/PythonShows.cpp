// A ShowRunner driven from Python: frames in steps, each step's slots copied into a uint8 array
// with the GIL released; variables and formulas changed through the show's own commands.
#include "PythonShows.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "PythonErrors.h"
#include "zrhost/LibraryFailure.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/ShowRunner.h"
#include "zrshow/show/ShowCommands.h"

namespace py = pybind11;

namespace zrpython {

namespace {

// Frames run between two looks at Python's signals (Ctrl-C).
constexpr std::uint64_t FRAMES_BETWEEN_SIGNAL_CHECKS = 1024;

// A file the show needs, which must exist: FileNotFoundError names it.
void requireFile(const std::string& path, const char* what)
{
    if (!path.empty() && !std::filesystem::exists(path)) {
        const std::string message = std::string(what) + " not found";
        PyErr_SetObject(PyExc_FileNotFoundError,
                        py::make_tuple(ENOENT, message, path).ptr());
        throw py::error_already_set();
    }
}

} // namespace

struct ShowOptions {
    std::string path;
    std::optional<unsigned> seed;
    std::string inputPath;
    std::string audioPath;
    bool outputs = false;
    std::optional<std::uint16_t> oscPort;
    unsigned threads = 0;
};

// The show's messages kept for Python to read (edits taken, reloads, output problems); they
// come from the frame loop, the file watcher and the OSC thread.
class ShowMessages final : public zrshow::ShowEvents {
public:
    void message(const std::string& text) override
    {
        const std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    std::vector<std::string> take()
    {
        const std::lock_guard lock(mutex_);
        return std::exchange(messages_, {});
    }

private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

// Copies each frame's universes into the next row of the current step's array, never past its
// last row.
class SlotArrayWriter final : public zrshow::FrameObserver {
public:
    void begin(std::uint8_t* data, std::uint64_t frames)
    {
        next_ = data;
        rowsLeft_ = frames;
    }
    void frameDone(std::uint64_t, const std::vector<zrshow::DmxSlots>& universes) override
    {
        if (rowsLeft_ == 0)
            return;
        --rowsLeft_;
        for (const zrshow::DmxSlots& slots : universes) {
            std::memcpy(next_, slots.data(), slots.size());
            next_ += slots.size();
        }
    }

private:
    std::uint8_t* next_ = nullptr;
    std::uint64_t rowsLeft_ = 0;
};

class Show {
public:
    explicit Show(const ShowOptions& given)
    {
        requireFile(given.path, "show file");
        requireFile(given.inputPath, "input file");
        requireFile(given.audioPath, "audio file");
        zrshow::ShowRunOptions options;
        options.showPath = given.path;
        options.clock = zrhost::ClockMode::Simulated;
        options.sendOutputs = given.outputs;
        options.paceSimulatedClock = given.outputs; // outputs get frames at the show's fps
        options.inputs.inputPath = given.inputPath;
        options.inputs.audioPath = given.audioPath;
        options.oscPort = given.oscPort;
        options.seed = given.seed;
        options.threads = given.threads;
        options.sourceName = "zrsignal";
        runner_ = std::make_unique<zrshow::ShowRunner>(options, messages_);
        runner_->observe(&writer_);
        for (const std::uint32_t universe : runner_->patch().universes())
            universes_.push_back(universe);
    }

    ~Show()
    {
        try {
            close();
        } catch (...) { // a destructor reports nothing; close() is where failures are raised
        }
    }

    const std::vector<std::uint32_t>& universes() const { return universes_; }
    std::uint64_t frame() const { return nextFrame_; }
    std::vector<std::string> messages() { return messages_.take(); }

    py::array_t<std::uint8_t> run(std::uint64_t frames)
    {
        py::array_t<std::uint8_t> slots({static_cast<py::ssize_t>(frames), static_cast<py::ssize_t>(universes_.size()),
                                         static_cast<py::ssize_t>(zrshow::DMX_SLOT_COUNT)});
        const auto lock = lockWithoutGil(mutex_);
        zrshow::ShowRunner& runner = open();
        writer_.begin(slots.mutable_data(), frames);
        for (std::uint64_t done = 0; done < frames;) {
            const std::uint64_t batch = std::min(frames - done, FRAMES_BETWEEN_SIGNAL_CHECKS);
            {
                const py::gil_scoped_release released;
                runner.runFrames(batch, interrupted_);
            }
            done += batch;
            nextFrame_ += batch;
            checkSignals();
        }
        return slots;
    }

    void set(const std::string& name, double value)
    {
        const auto lock = lockWithoutGil(mutex_);
        apply(open().commands().setVariable(name, value));
    }

    void edit(const std::string& fixture, unsigned index, const std::string& channel, const std::string& formula)
    {
        const auto lock = lockWithoutGil(mutex_);
        apply(open().commands().replaceFormula(fixture, index, channel, formula));
    }

    void request(const std::string& address, const zrshow::ShowArgument& argument)
    {
        const auto lock = lockWithoutGil(mutex_);
        apply(open().commands().interpret(address, argument));
    }

    // Ends the outputs as the show says (a blackout, the end of each sACN stream); the show can
    // run no more frames after it.
    void close()
    {
        const auto lock = lockWithoutGil(mutex_); // not under a run on another thread
        if (!runner_)
            return;
        std::unique_ptr<zrshow::ShowRunner> runner = std::move(runner_);
        const py::gil_scoped_release released;
        runner->finish();
    }

private:
    zrshow::ShowRunner& open()
    {
        if (!runner_)
            throw py::value_error("the show is closed");
        return *runner_;
    }

    // The edit a command stands for, applied before the next frame as the frame loop applies an
    // OSC message's; a refusal raises ValueError, a refused formula FormulaError.
    void apply(zrshow::ShowRequestResult result)
    {
        if (const std::string* refusal = std::get_if<std::string>(&result))
            throw py::value_error(*refusal);
        std::optional<zrhost::LibraryFailure> refused;
        zrshow::ShowEdit edit = std::move(std::get<zrshow::ShowEdit>(result));
        if (auto* replace = std::get_if<zrshow::ReplaceFormula>(&edit)) {
            replace->answer = [&refused](const zrhost::LibraryFailure* failure, const std::string&) {
                if (failure)
                    refused = *failure;
            };
        }
        runner_->queue(std::move(edit));
        runner_->applyQueuedEdits();
        if (refused)
            raiseFormulaError(*refused);

    }

    ShowMessages messages_;   // before the runner, which reports to it until it is gone
    SlotArrayWriter writer_;
    std::unique_ptr<zrshow::ShowRunner> runner_;
    std::vector<std::uint32_t> universes_;
    std::uint64_t nextFrame_ = 0;
    std::atomic<bool> interrupted_{false}; // stays false: Ctrl-C is seen between batches of frames
    std::mutex mutex_; // one call at a time runs frames or edits
};

void bindShows(py::module_& module)
{
    py::class_<Show>(module, "Show", "A show file run frame by frame on the simulated clock, its DMX slots as arrays.")
        .def(py::init([](const std::string& path, std::optional<unsigned> seed, const std::string& input,
                         const std::string& audio, bool outputs, std::optional<std::uint16_t> oscPort, unsigned threads) {
                 return std::make_unique<Show>(ShowOptions{path, seed, input, audio, outputs, oscPort, threads});
             }),
             py::arg("path"), py::kw_only(), py::arg("seed") = py::none(), py::arg("input") = "", py::arg("audio") = "",
             py::arg("outputs") = false, py::arg("osc_port") = py::none(), py::arg("threads") = 0u)
        .def_property_readonly("universes", &Show::universes)
        .def_property_readonly("frame", &Show::frame)
        .def("run", &Show::run, py::arg("frames"))
        .def("set", &Show::set, py::arg("name"), py::arg("value"))
        .def("edit", &Show::edit, py::arg("fixture"), py::arg("index"), py::arg("channel"), py::arg("formula"))
        .def("request", &Show::request, py::arg("address"), py::arg("argument") = py::none())
        .def("messages", &Show::messages)
        .def("close", &Show::close)
        .def("__enter__", [](Show& show) -> Show& { return show; }, py::return_value_policy::reference)
        .def("__exit__", [](Show& show, const py::args&) { show.close(); });
}

} // namespace zrpython
