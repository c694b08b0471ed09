#include "launch_actions.h"

#include "components.h"

namespace tessivar {

namespace {

// Start, show, add: each step runs whatever the earlier ones returned. A failed launch has no
// visible effect, so no result is looked at.
void RunLaunchAction(DesignId applicationId, DesignId collectionId)
{
    auto* application = FindComponentAs<ApplicationComponent>(kLauncherWindowId, applicationId);
    auto* collection = FindComponentAs<CollectionComponent>(kLauncherWindowId, collectionId);
    if (application == nullptr || collection == nullptr)
        return;
    application->StartApplication();
    application->PutVisible(true);
    collection->AttachApplication(*application, true);
}

constexpr NamedHandler kHandlers[] = {
    {"LaunchWord", LaunchWord},
    {"LaunchExcel", LaunchExcel},
    {"LaunchPowerPoint", LaunchPowerPoint},
};

}  // namespace

void LaunchWord()
{
    RunLaunchAction(kWordAppId, kWordDocumentsId);
}

void LaunchExcel()
{
    RunLaunchAction(kExcelAppId, kExcelWorkbooksId);
}

void LaunchPowerPoint()
{
    RunLaunchAction(kPptAppId, kPptPresentationsId);
}

std::span<const NamedHandler> LaunchHandlers()
{
    return kHandlers;
}

}  // namespace tessivar
