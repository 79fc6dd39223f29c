#include "RestartPlugin.h"
#include "RestartState.h"

#include "public.sdk/source/common/pluginview.h"
#include "public.sdk/source/vst/vsteditcontroller.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <memory>

namespace talven::testplugin::restart {
namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

// A bare editor view: it draws nothing and notes the thread the host
// attaches it on, the editor's.
class RestartView : public CPluginView {
public:
    RestartView() : CPluginView(&size()) {}

    tresult PLUGIN_API isPlatformTypeSupported(FIDString type) override
    {
        return type && (std::strcmp(type, kPlatformTypeHWND) == 0 || std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0)
                   ? kResultTrue
                   : kResultFalse;
    }

    tresult PLUGIN_API attached(void* parent, FIDString type) override
    {
        counters().viewThread = threadTag();
        return CPluginView::attached(parent, type);
    }

private:
    static const ViewRect& size()
    {
        static const ViewRect fixed(0, 0, 240, 120);
        return fixed;
    }
};

// The gain and the peak the processor reports back; notes every delivery of
// the peak, and lends its component handler to the processor.
class RestartController : public EditController {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override
    {
        const tresult result = EditController::initialize(context);
        if (result != kResultOk)
            return result;
        parameters.addParameter(STR16("Gain"), nullptr, 0, kDefaultGain, ParameterInfo::kCanAutomate, kGainId);
        parameters.addParameter(STR16("Peak"), nullptr, 0, 0, ParameterInfo::kIsReadOnly, kPeakId);
        watcher_ = std::make_unique<RequestWatcher>();
        return kResultOk;
    }

    tresult PLUGIN_API terminate() override
    {
        watcher_.reset(); // no request of its after the handler goes
        withdrawHandler(getComponentHandler());
        return EditController::terminate();
    }

    tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) override
    {
        withdrawHandler(getComponentHandler());
        const tresult result = EditController::setComponentHandler(handler);
        publishHandler(getComponentHandler());
        return result;
    }

    // The level parameter joins the list while a test has it listed.
    int32 PLUGIN_API getParameterCount() override
    {
        return EditController::getParameterCount() + (levelListed() ? 1 : 0);
    }

    tresult PLUGIN_API getParameterInfo(int32 index, ParameterInfo& info) override
    {
        if (!levelListed() || index != EditController::getParameterCount())
            return EditController::getParameterInfo(index, info);
        info = {};
        info.id = kLevelId;
        const char16_t title[] = u"Level";
        std::copy(std::begin(title), std::end(title), info.title);
        info.flags = ParameterInfo::kIsReadOnly;
        return kResultOk;
    }

    ParamValue PLUGIN_API getParamNormalized(ParamID tag) override
    {
        return tag == kLevelId ? level_.load() : EditController::getParamNormalized(tag);
    }

    tresult PLUGIN_API setParamNormalized(ParamID tag, ParamValue value) override
    {
        if (tag == kLevelId) {
            level_ = value;
            return kResultOk;
        }
        if (tag == kPeakId) {
            Counters& all = counters();
            all.lastDeliveredPeak = value;
            all.peakThread = threadTag();
            ++all.peakDeliveries;
        }
        return EditController::setParamNormalized(tag, value);
    }

    IPlugView* PLUGIN_API createView(FIDString name) override
    {
        return name && std::strcmp(name, ViewType::kEditor) == 0 ? new RestartView : nullptr;
    }

private:
    std::atomic<double> level_{0};
    std::unique_ptr<RequestWatcher> watcher_;
};

} // namespace

FUnknown* createController()
{
    return static_cast<IEditController*>(new RestartController);
}

} // namespace talven::testplugin::restart
