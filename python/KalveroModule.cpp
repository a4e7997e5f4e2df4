// The Python module kalvero over the C interface: Reader.read takes a NumPy
// picture (BGR HxWx3 or grey HxW, uint8) and returns a FrameResult;
// read_file returns an iterator over the passes of a file. A failure of the
// library raises an exception carrying its message.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "kalvero/kalvero.h"

namespace py = pybind11;

namespace {

using Box = std::tuple<int, int, int, int>;

struct PyReading {
    std::string text;
    Box box;
    float score = 0.0f;
    std::vector<float> digitScores;
    bool checkDigit = false;
};

struct PyPass {
    std::string number;
    bool checkDigit = false;
    int firstFrame = 0;
    int lastFrame = 0;
    double startTime = 0.0;
    double endTime = 0.0;
    float bestScore = 0.0f;
    Box bestBox;
    std::string direction;
};

struct PyFrame {
    int frameNumber = 0;
    double timestamp = 0.0;
    std::vector<PyReading> readings;
    std::optional<std::string> confirmed;
    std::vector<PyPass> passes;
};

struct LibraryError {
    int status;
    std::string message;
};

Box BoxOf(const kalvero_box& box) { return Box(box.x, box.y, box.width, box.height); }

PyPass PassOf(const kalvero_pass* pass) {
    PyPass out;
    out.number = kalvero_pass_number(pass);
    out.checkDigit = kalvero_pass_check_digit(pass) != 0;
    out.firstFrame = kalvero_pass_first_frame(pass);
    out.lastFrame = kalvero_pass_last_frame(pass);
    out.startTime = kalvero_pass_start_time(pass);
    out.endTime = kalvero_pass_end_time(pass);
    out.bestScore = kalvero_pass_best_score(pass);
    out.bestBox = BoxOf(kalvero_pass_best_box(pass));
    out.direction = kalvero_pass_direction(pass);
    return out;
}

PyFrame FrameOf(const kalvero_frame* frame) {
    PyFrame out;
    out.frameNumber = kalvero_frame_number(frame);
    out.timestamp = kalvero_frame_timestamp(frame);
    for (int i = 0; i < kalvero_frame_reading_count(frame); ++i) {
        PyReading reading;
        reading.text = kalvero_frame_reading_text(frame, i);
        reading.box = BoxOf(kalvero_frame_reading_box(frame, i));
        reading.score = kalvero_frame_reading_score(frame, i);
        const float* scores = nullptr;
        const int count = kalvero_frame_reading_digit_scores(frame, i, &scores);
        reading.digitScores.assign(scores, scores + count);
        reading.checkDigit = kalvero_frame_reading_check_digit(frame, i) != 0;
        out.readings.push_back(std::move(reading));
    }
    if (const char* confirmed = kalvero_frame_confirmed(frame)) out.confirmed = confirmed;
    for (int i = 0; i < kalvero_frame_pass_count(frame); ++i) out.passes.push_back(PassOf(kalvero_frame_pass(frame, i)));
    return out;
}

// Raises the exception that fits the library's status.
[[noreturn]] void Raise(const LibraryError& error) {
    switch (error.status) {
        case KALVERO_E_INVALID_ARGUMENT:
        case KALVERO_E_IMAGE:
        case KALVERO_E_ZONE:
            throw py::value_error(error.message);
        case KALVERO_E_FILE: {
            PyErr_SetString(PyExc_OSError, error.message.c_str());
            throw py::error_already_set();
        }
        default:
            throw std::runtime_error(error.message);
    }
}

void Check(int status) {
    if (status != KALVERO_OK) Raise(LibraryError{status, kalvero_last_error()});
}

using OptionsHandle = std::unique_ptr<kalvero_options, decltype(&kalvero_options_free)>;

OptionsHandle MakeOptions(const std::string& engine, const std::optional<Box>& zone,
                          const std::optional<int>& digitHeight, int voteDepth, int voteThreshold,
                          int confirmFrames, bool checkDigit) {
    OptionsHandle options(kalvero_options_new(), &kalvero_options_free);
    if (!options) throw std::bad_alloc();
    Check(kalvero_options_set_engine(options.get(), engine.c_str()));
    if (zone) {
        Check(kalvero_options_set_zone(options.get(), std::get<0>(*zone), std::get<1>(*zone), std::get<2>(*zone),
                                       std::get<3>(*zone)));
    }
    if (digitHeight) Check(kalvero_options_set_digit_height(options.get(), *digitHeight));
    Check(kalvero_options_set_vote(options.get(), voteDepth, voteThreshold));
    Check(kalvero_options_set_confirm_frames(options.get(), confirmFrames));
    Check(kalvero_options_set_check_digit(options.get(), checkDigit ? 1 : 0));
    return options;
}

class PyReader {
public:
    PyReader(const std::string& engine, const std::optional<Box>& zone, const std::optional<int>& digitHeight,
             int voteDepth, int voteThreshold, int confirmFrames, bool checkDigit)
        : reader_(nullptr, &kalvero_reader_free) {
        const OptionsHandle options =
            MakeOptions(engine, zone, digitHeight, voteDepth, voteThreshold, confirmFrames, checkDigit);
        reader_.reset(kalvero_reader_new(options.get()));
        if (!reader_) Raise(LibraryError{kalvero_last_status(), kalvero_last_error()});
    }

    PyFrame Read(const py::array& frame, const std::optional<double>& timestamp) {
        if (!py::dtype::of<std::uint8_t>().is(frame.dtype())) {
            throw py::type_error("frame must be a uint8 array (BGR HxWx3 or grey HxW), not " +
                                 std::string(py::str(frame.dtype())));
        }
        const py::array_t<std::uint8_t, py::array::c_style> pixels =
            py::array_t<std::uint8_t, py::array::c_style>::ensure(frame);
        if (!pixels) throw py::type_error("frame must be a uint8 array");
        kalvero_image image{};
        if (pixels.ndim() == 3 && pixels.shape(2) == 3) {
            image.format = KALVERO_BGR8;
        } else if (pixels.ndim() == 2) {
            image.format = KALVERO_GRAY8;
        } else {
            throw py::value_error("frame must be HxWx3 (BGR) or HxW (grey)");
        }
        image.data = pixels.data();
        image.height = static_cast<int>(pixels.shape(0));
        image.width = static_cast<int>(pixels.shape(1));
        image.stride = static_cast<int>(pixels.strides(0));
        const double seconds = timestamp ? *timestamp : framesRead_ / kDefaultFramesPerSecond;
        kalvero_frame* result = nullptr;
        LibraryError error{KALVERO_OK, std::string()};
        {
            py::gil_scoped_release released;
            error.status = kalvero_read_frame(reader_.get(), &image, seconds, &result);
            if (error.status != KALVERO_OK) error.message = kalvero_last_error();
        }
        if (error.status != KALVERO_OK) Raise(error);
        ++framesRead_;
        const std::unique_ptr<kalvero_frame, decltype(&kalvero_frame_free)> owned(result, &kalvero_frame_free);
        return FrameOf(result);
    }

    PyFrame Finish() {
        kalvero_frame* result = nullptr;
        Check(kalvero_reader_finish(reader_.get(), &result));
        const std::unique_ptr<kalvero_frame, decltype(&kalvero_frame_free)> owned(result, &kalvero_frame_free);
        framesRead_ = 0;
        return FrameOf(result);
    }

private:
    // Frames without a timestamp are taken 1/25 s apart.
    static constexpr double kDefaultFramesPerSecond = 25.0;
    std::unique_ptr<kalvero_reader, decltype(&kalvero_reader_free)> reader_;
    long long framesRead_ = 0;
};

py::iterator ReadFile(const std::string& path, const std::string& engine, const std::optional<Box>& zone,
                      const std::optional<int>& digitHeight, int voteDepth, int voteThreshold, bool checkDigit) {
    const OptionsHandle options = MakeOptions(engine, zone, digitHeight, voteDepth, voteThreshold, 3, checkDigit);
    std::vector<PyPass> passes;
    kalvero_callbacks callbacks{nullptr, [](const kalvero_pass* pass, void* user) {
                                    static_cast<std::vector<PyPass>*>(user)->push_back(PassOf(pass));
                                    return 0;
                                }};
    LibraryError error{KALVERO_OK, std::string()};
    {
        py::gil_scoped_release released;
        error.status = kalvero_read_file(path.c_str(), options.get(), &callbacks, &passes);
        if (error.status != KALVERO_OK) error.message = kalvero_last_error();
    }
    if (error.status != KALVERO_OK) Raise(error);
    py::list list = py::cast(passes);
    return py::iter(list);
}

}  // namespace

PYBIND11_MODULE(kalvero, module) {
    module.doc() = "Reads the 8-digit numbers painted on railway carriages (libkalvero).";
    module.attr("__version__") = kalvero_version();

    py::class_<PyReading>(module, "Reading")
        .def_readonly("text", &PyReading::text)
        .def_readonly("box", &PyReading::box, "(x, y, width, height) in frame pixels")
        .def_readonly("score", &PyReading::score)
        .def_readonly("digit_scores", &PyReading::digitScores)
        .def_readonly("check_digit", &PyReading::checkDigit)
        .def("__repr__", [](const PyReading& r) {
            return "<kalvero.Reading " + r.text + " score=" + std::to_string(r.score) + ">";
        });

    py::class_<PyPass>(module, "Pass")
        .def_readonly("number", &PyPass::number)
        .def_readonly("check_digit", &PyPass::checkDigit)
        .def_readonly("first_frame", &PyPass::firstFrame)
        .def_readonly("last_frame", &PyPass::lastFrame)
        .def_readonly("start_time", &PyPass::startTime)
        .def_readonly("end_time", &PyPass::endTime)
        .def_readonly("best_score", &PyPass::bestScore)
        .def_readonly("best_box", &PyPass::bestBox)
        .def_readonly("direction", &PyPass::direction)
        .def("__repr__", [](const PyPass& p) {
            return "<kalvero.Pass " + p.number + " frames " + std::to_string(p.firstFrame) + ".." +
                   std::to_string(p.lastFrame) + ">";
        });

    py::class_<PyFrame>(module, "FrameResult")
        .def_readonly("frame_number", &PyFrame::frameNumber)
        .def_readonly("timestamp", &PyFrame::timestamp)
        .def_readonly("readings", &PyFrame::readings)
        .def_readonly("confirmed", &PyFrame::confirmed)
        .def_readonly("passes", &PyFrame::passes);

    py::class_<PyReader>(module, "Reader")
        .def(py::init<const std::string&, const std::optional<Box>&, const std::optional<int>&, int, int, int,
                      bool>(),
             py::arg("engine") = "learned", py::arg("zone") = py::none(), py::arg("digit_height") = py::none(),
             py::arg("vote_depth") = 30, py::arg("vote_threshold") = 5, py::arg("confirm_frames") = 3,
             py::arg("check_digit") = true)
        .def("read", &PyReader::Read, py::arg("frame"), py::arg("timestamp") = py::none(),
             "Reads the next frame (uint8 BGR HxWx3 or grey HxW).")
        .def("finish", &PyReader::Finish, "Ends the sequence: the passes still open, and a fresh start.");

    module.def("read_file", &ReadFile, py::arg("path"), py::arg("engine") = "learned", py::arg("zone") = py::none(),
               py::arg("digit_height") = py::none(), py::arg("vote_depth") = 30, py::arg("vote_threshold") = 5,
               py::arg("check_digit") = true,
               "Reads a video, still or stream to its end as kalvero-read does; an iterator over its passes.");
}
