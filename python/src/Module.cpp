// Python module _tamra: the native half of the tamra package (tamra/__init__.py wraps it).
#include <cstring>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Camera.h"
#include "FrameRecord.h"
#include "Settings.h"

namespace py = pybind11;
using namespace tamra_python;

namespace {

OpenOptions openOptions(const std::string& images, std::uint32_t width, std::uint32_t height,
                        std::uint32_t color, int cameras, std::uint32_t buffers, bool mirror,
                        bool flip, std::uint32_t rotate, std::uint32_t tilesH, std::uint32_t tilesV,
                        bool conform) {
    OpenOptions options;
    options.images = images;
    options.width = width;
    options.height = height;
    options.color = static_cast<IFW_IMAGE_COLOR_TYPE>(color);
    options.cameras = cameras;
    options.buffers = buffers;
    options.mirror = mirror;
    options.flip = flip;
    options.rotate = rotate;
    options.tilesH = tilesH;
    options.tilesV = tilesV;
    options.conform = conform;
    return options;
}

const Setting& settingNamed(const std::string& name) {
    const Setting* setting = findSetting(name);
    if (setting == nullptr) throw py::key_error("no setting named " + name);
    return *setting;
}

py::object settingValue(const Setting& setting, double value) {
    if (setting.isFloat) return py::float_(value);
    return py::int_(static_cast<long long>(value));
}

py::dict recordDict(const Record& record) {
    py::dict result;
    for (const auto& [name, value] : record) {
        result[py::str(name)] = name == "threshold" ? py::object(py::float_(value))
                                                    : py::object(py::int_(static_cast<int>(value)));
    }
    return result;
}

void checkIndex(std::uint32_t index) {
    if (index >= 32) throw py::index_error("GPIO records are numbered 0 to 31");
}

py::dict counterDict(const RunCounters& c) {
    py::dict result;
    result["triggers"] = c.triggers;
    result["delivered"] = c.delivered;
    result["handed"] = c.handed;
    result["discarded"] = c.discarded;
    result["dropped"] = c.dropped;
    result["reported"] = c.reported;
    return result;
}

// The frame a camera of this layout would deliver, transformed by a scratch emulator that is set
// up as an Emulator with the same transforms would be.
py::array transformArray(py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast> input,
                         const OpenOptions& options) {
    auto scratch = std::make_shared<Camera>();
    scratch->open(options);
    const std::size_t expected = std::size_t{options.width} * options.height *
                                 std::max<std::uint32_t>(1, scratch->grabUnchecked().GetBytesPP()) *
                                 std::max(1, options.cameras) * options.tilesH * options.tilesV;
    if (static_cast<std::size_t>(input.nbytes()) != expected) {
        scratch->close();
        throw py::value_error("the array does not hold frames of the given layout");
    }
    py::array_t<std::uint8_t> output(scratch->shape().dims());
    scratch->transformInto(input.data(), output.mutable_data());
    scratch->close();
    return std::move(output);
}

}  // namespace

PYBIND11_MODULE(_tamra, m) {
    m.doc() = "Native half of the tamra package; use the tamra package instead.";
    static py::exception<TamraError> error(m, "Error", PyExc_RuntimeError);
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const TamraError& e) {
            error(e.what());
        }
    });

    py::class_<Camera, std::shared_ptr<Camera>>(m, "Camera")
        .def(py::init<>())
        .def(
            "open",
            [](Camera& camera, const std::string& images, std::uint32_t width, std::uint32_t height,
               std::uint32_t color, int cameras, std::uint32_t buffers, bool mirror, bool flip,
               std::uint32_t rotate, std::uint32_t tilesH, std::uint32_t tilesV, bool conform) {
                camera.open(openOptions(images, width, height, color, cameras, buffers, mirror,
                                        flip, rotate, tilesH, tilesV, conform));
            })
        .def("start",
             [](Camera& camera, std::uint32_t method, std::int64_t delay) {
                 camera.start(static_cast<IXGrab::TriggerMethod>(method), delay);
             })
        .def("stop", &Camera::stop)
        .def("close", &Camera::close)
        .def("trigger", &Camera::trigger)
        .def("next_frame", &Camera::nextFrame)
        .def("set_callback", &Camera::setCallback)
        .def_property_readonly("running", &Camera::running)
        .def_property_readonly("closed", &Camera::closed)
        .def_property_readonly(
            "shape", [](Camera& camera) { return py::tuple(py::cast(camera.shape().dims())); })
        .def("counters", [](Camera& camera) { return counterDict(camera.counters()); })
        .def("library_counters", &Camera::libraryCounters)
        .def("get",
             [](Camera& camera, const std::string& name) {
                 const Setting& setting = settingNamed(name);
                 const double value = camera.withGrab([&](IXGrab& g) { return setting.get(g); });
                 return settingValue(setting, value);
             })
        .def("set",
             [](Camera& camera, const std::string& name, double value) {
                 const Setting& setting = settingNamed(name);
                 if (setting.set == nullptr) throw py::attribute_error(name + " is read-only");
                 camera.withGrab([&](IXGrab& g) {
                     if (!setting.set(g, value) && setting.checked) {
                         throw TamraError(g.GetLastErrorMsg());
                     }
                     return 0;
                 });
             })
        .def("gpi",
             [](Camera& camera, std::uint32_t index) {
                 checkIndex(index);
                 IFW_GPI_CONFIG config{};
                 camera.withGrab([&](IXGrab& g) { return g.GetGPIConfig(index, &config), 0; });
                 return recordDict(inputRecord(config));
             })
        .def("gpo",
             [](Camera& camera, std::uint32_t index) {
                 checkIndex(index);
                 IFW_GPO_CONFIG config{};
                 camera.withGrab([&](IXGrab& g) { return g.GetGPOConfig(index, &config), 0; });
                 return recordDict(outputRecord(config));
             })
        .def("set_gpi",
             [](Camera& camera, std::uint32_t index, const Record& fields) {
                 checkIndex(index);
                 const std::string unknown = camera.withGrab([&](IXGrab& g) {
                     IFW_GPI_CONFIG config{};
                     g.GetGPIConfig(index, &config);
                     std::string name;
                     if (applyInput(fields, config, name)) g.SetGPIConfig(index, &config);
                     return name;
                 });
                 if (!unknown.empty()) throw py::key_error("no GPIO field named " + unknown);
             })
        .def("set_gpo",
             [](Camera& camera, std::uint32_t index, const Record& fields) {
                 checkIndex(index);
                 const std::string unknown = camera.withGrab([&](IXGrab& g) {
                     IFW_GPO_CONFIG config{};
                     g.GetGPOConfig(index, &config);
                     std::string name;
                     if (applyOutput(fields, config, name)) g.SetGPOConfig(index, &config);
                     return name;
                 });
                 if (!unknown.empty()) throw py::key_error("no GPIO field named " + unknown);
             })
        .def("save_storage",
             [](Camera& camera) {
                 MapStorage storage;
                 camera.withGrab([&](IXGrab& g) {
                     if (!g.SaveStorage(&storage)) throw TamraError(g.GetLastErrorMsg());
                     return 0;
                 });
                 py::dict result;
                 for (const auto& [key, value] : storage.values) {
                     result[py::str(key)] =
                         value.isFloat ? py::object(py::float_(value.number))
                                       : py::object(py::int_(static_cast<int>(value.number)));
                 }
                 return result;
             })
        .def(
            "load_storage",
            [](Camera& camera, const py::dict& values) {
                MapStorage storage;
                for (const auto& [key, value] : values) {
                    const bool isFloat = py::isinstance<py::float_>(value);
                    storage.values[py::cast<std::string>(key)] = {isFloat, py::cast<double>(value)};
                }
                camera.withGrab([&](IXGrab& g) {
                    if (!g.LoadStorage(&storage)) throw TamraError(g.GetLastErrorMsg());
                    return 0;
                });
            })
        .def("image_path", [](Camera& camera) {
            return camera.withGrab([](IXGrab& g) {
                const char* path = g.GetImagePath();
                return std::string(path != nullptr ? path : "");
            });
        });

    m.def("setting_names", [] {
        py::list names;
        for (const Setting& setting : settings()) {
            names.append(py::make_tuple(setting.name, setting.set != nullptr));
        }
        return names;
    });
    m.def("hardware_classes", [] {
        py::dict result;
        for (const HardwareClass& hw : hardwareClasses()) {
            py::dict values;
            for (const auto& [name, value] : hw.values) {
                const Setting* setting = findSetting(name);
                values[py::str(name)] = settingValue(*setting, value);
            }
            py::list outputs;
            for (const Record& record : hw.outputs) outputs.append(recordDict(record));
            values["gpo"] = outputs;
            result[py::str(hw.name)] = values;
        }
        return result;
    });
    m.def(
        "transform",
        [](py::array_t<std::uint8_t, py::array::c_style | py::array::forcecast> input,
           std::uint32_t width, std::uint32_t height, std::uint32_t color, int cameras, bool mirror,
           bool flip, std::uint32_t rotate, std::uint32_t tilesH, std::uint32_t tilesV) {
            return transformArray(input, openOptions("", width, height, color, cameras, 2, mirror,
                                                     flip, rotate, tilesH, tilesV, true));
        });
    m.def("check_image", [](const std::string& path, std::uint32_t width, std::uint32_t height,
                            std::uint32_t bytesPerPixel, bool conform) {
        char reason[TAMRA_REASON_CHARS] = {};
        int plays = 0;
        {
            py::gil_scoped_release released;
            plays = TamraCheckImageFile(path.c_str(), width, height, bytesPerPixel, conform ? 1 : 0,
                                        reason, sizeof reason);
        }
        return py::make_tuple(plays != 0, std::string(reason));
    });
    m.def("in_callback", &onLibraryThread);
    m.def("shutdown", [] {
        py::gil_scoped_release released;
        shutdownReaper();
    });
}
