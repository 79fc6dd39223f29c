#include "host/ComponentHandler.h"

#include "host/ParameterReports.h"
#include "host/RestartRequests.h"
#include "sdk/ParameterChangeTransfer.h"

using namespace Steinberg;

IPtr<ComponentHandler> ComponentHandler::make(std::shared_ptr<Vst::ParameterChangeTransfer> transfer,
                                              std::shared_ptr<talven::ParameterReports> reports,
                                              std::shared_ptr<talven::RestartRequests> restarts)
{
    return owned(new ComponentHandler(std::move(transfer), std::move(reports), std::move(restarts)));
}

ComponentHandler::ComponentHandler(std::shared_ptr<Vst::ParameterChangeTransfer> transfer,
                                   std::shared_ptr<talven::ParameterReports> reports,
                                   std::shared_ptr<talven::RestartRequests> restarts)
    : transfer_(std::move(transfer)), reports_(std::move(reports)), restarts_(std::move(restarts))
{
}

ComponentHandler::~ComponentHandler() = default;

tresult PLUGIN_API ComponentHandler::queryInterface(const TUID iid, void** obj)
{
    if (!obj)
        return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, Vst::IComponentHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
        addRef();
        *obj = static_cast<Vst::IComponentHandler*>(this);
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API ComponentHandler::addRef()
{
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 PLUGIN_API ComponentHandler::release()
{
    const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

tresult PLUGIN_API ComponentHandler::beginEdit(Vst::ParamID)
{
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::performEdit(Vst::ParamID id, Vst::ParamValue valueNormalized)
{
    if (transfer_)
        transfer_->addChange(id, valueNormalized, 0);
    if (reports_)
        reports_->report(id, valueNormalized);
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::endEdit(Vst::ParamID)
{
    return kResultOk;
}

tresult PLUGIN_API ComponentHandler::restartComponent(int32 flags)
{
    constexpr int32 kReportedFlags = Vst::kParamValuesChanged | Vst::kParamTitlesChanged;
    const bool reported = (flags & kReportedFlags) != 0;
    const bool reset = (flags & talven::RestartRequests::kResetFlags) != 0;
    if (!reported && !reset)
        return kNotImplemented;
    if (reset && restarts_)
        restarts_->request(flags);
    if (reported && reports_)
        reports_->report(TALVEN_ALL_PARAMETERS, -1.0);
    return kResultOk;
}
