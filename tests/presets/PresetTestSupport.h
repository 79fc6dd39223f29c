#pragma once

#include "public.sdk/source/vst/vstcomponent.h"
#include "base/source/fobject.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/base/funknown.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talven::test {

using Bytes = std::vector<unsigned char>;

Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);
std::string hex(const Bytes& bytes);
// count bytes 0x10, 0x11, ... (wrapping), so that chunks are told apart.
Bytes pattern(std::size_t count, unsigned char first = 0x10);

// A new empty folder under the working directory for one test, removed with
// everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path(const std::string& name) const;
    // The names of the files in the folder, sorted.
    std::vector<std::string> names() const;

private:
    std::string root_;
};

// Little-endian bytes of a hand-made file.
class ByteWriter {
public:
    ByteWriter& text(const std::string& ascii);
    ByteWriter& int32(std::int32_t value);
    ByteWriter& int64(std::int64_t value);
    ByteWriter& bytes(const Bytes& data);
    std::int64_t size() const { return static_cast<std::int64_t>(data_.size()); }
    const Bytes& data() const { return data_; }

private:
    Bytes data_;
};

// The 32-character header text of a class ID.
std::string classIdText(const Steinberg::FUID& cid);

struct Chunk {
    std::string id;
    Bytes data;
};
// A preset file as the format lays it out: header (with this class ID text
// and version), the chunks back to back from offset 48, and the list.
Bytes presetFile(const std::string& classText, const std::vector<Chunk>& chunks, std::int32_t version = 1);
// The same with the chunks' data in the given order and the list naming them
// in listOrder (indices into chunks).
Bytes presetFileListed(const std::string& classText, const std::vector<Chunk>& chunks,
                       const std::vector<std::size_t>& listOrder);
// The data of the first chunk the file's list names id; none for a file
// without one or whose list cannot be read.
std::optional<Bytes> chunkOf(const Bytes& file, const std::string& id);

// What a plug-in's two sides were asked, in order: "Component::setState <hex>",
// "Controller::setComponentState <hex>", ...
using Calls = std::vector<std::string>;

// A component whose state is a byte string, recording its state calls.
class FakeComponent : public Steinberg::Vst::Component {
public:
    explicit FakeComponent(Calls& calls) : calls_(calls) {}
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;

    Bytes state;
    Steinberg::tresult getStateResult = Steinberg::kResultOk;
    Steinberg::tresult setStateResult = Steinberg::kResultOk;

private:
    Calls& calls_;
};

// The same for an edit controller without parameters.
class FakeController : public Steinberg::FObject, public Steinberg::Vst::IEditController {
public:
    explicit FakeController(Calls& calls) : calls_(calls) {}
    Steinberg::tresult PLUGIN_API getState(Steinberg::IBStream* stream) override;
    Steinberg::tresult PLUGIN_API setState(Steinberg::IBStream* stream) override;
    Steinberg::tresult PLUGIN_API setComponentState(Steinberg::IBStream* stream) override;

    Steinberg::tresult PLUGIN_API initialize(Steinberg::FUnknown*) override { return Steinberg::kResultOk; }
    Steinberg::tresult PLUGIN_API terminate() override { return Steinberg::kResultOk; }
    Steinberg::int32 PLUGIN_API getParameterCount() override { return 0; }
    Steinberg::tresult PLUGIN_API getParameterInfo(Steinberg::int32, Steinberg::Vst::ParameterInfo&) override
    {
        return Steinberg::kInvalidArgument;
    }
    Steinberg::tresult PLUGIN_API getParamStringByValue(Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue,
                                                        Steinberg::Vst::String128) override
    {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API getParamValueByString(Steinberg::Vst::ParamID, Steinberg::Vst::TChar*,
                                                        Steinberg::Vst::ParamValue&) override
    {
        return Steinberg::kResultFalse;
    }
    Steinberg::Vst::ParamValue PLUGIN_API normalizedParamToPlain(Steinberg::Vst::ParamID,
                                                                 Steinberg::Vst::ParamValue value) override
    {
        return value;
    }
    Steinberg::Vst::ParamValue PLUGIN_API plainParamToNormalized(Steinberg::Vst::ParamID,
                                                                 Steinberg::Vst::ParamValue value) override
    {
        return value;
    }
    Steinberg::Vst::ParamValue PLUGIN_API getParamNormalized(Steinberg::Vst::ParamID) override { return 0; }
    Steinberg::tresult PLUGIN_API setParamNormalized(Steinberg::Vst::ParamID, Steinberg::Vst::ParamValue) override
    {
        return Steinberg::kResultFalse;
    }
    Steinberg::tresult PLUGIN_API setComponentHandler(Steinberg::Vst::IComponentHandler*) override
    {
        return Steinberg::kResultOk;
    }
    Steinberg::IPlugView* PLUGIN_API createView(Steinberg::FIDString) override { return nullptr; }

    OBJ_METHODS(FakeController, Steinberg::FObject)
    DEFINE_INTERFACES
        DEF_INTERFACE(Steinberg::Vst::IEditController)
    END_DEFINE_INTERFACES(Steinberg::FObject)
    REFCOUNT_METHODS(Steinberg::FObject)

    Bytes state;
    Steinberg::tresult getStateResult = Steinberg::kResultOk;

private:
    Calls& calls_;
};

// Every byte the stream has left, read in small pieces.
Bytes readRest(Steinberg::IBStream* stream);

} // namespace talven::test
