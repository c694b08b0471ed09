// The automation components on the launcher window: an application component starts and holds
// one Office application; a collection component holds that application's document collection
// and what the launch added to it.
#pragma once

#include "applications.h"
#include "event_sink.h"
#include "launcher_window/component.h"

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

namespace tessivar {

// How an application object is obtained; tests replace it with fakes.
struct Activation {
    HRESULT(STDAPICALLTYPE* clsidFromProgId)(LPCOLESTR progId, CLSID* clsid);
    HRESULT(STDAPICALLTYPE* createInstance)(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
    HRESULT(STDAPICALLTYPE* run)(IUnknown* object);
};

extern const Activation kSystemActivation;

inline constexpr DWORD kCreateContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD kCreateContextLocal = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;

class ApplicationComponent final : public Component, private EventReceiver {
public:
    ApplicationComponent(const ApplicationDescription& description, ComponentHost& host, DesignId id,
                         const Activation& activation = kSystemActivation);
    ~ApplicationComponent() override;

    // Lets go of any application held (without asking it to quit), then creates, runs and
    // connects to a new one. True when the component now holds an application.
    bool StartApplication();
    // Sends the value straight to the application; nothing is sent when none is held.
    void PutVisible(bool visible);

    IDispatch* Application() const { return m_application.Get(); }
    bool Connected() const { return m_sink != nullptr; }
    const ApplicationDescription& Description() const { return m_description; }

private:
    void Disconnect();
    void OnApplicationEvent(DISPID event) override;

    const ApplicationDescription& m_description;
    ComponentHost& m_host;
    DesignId m_id;
    const Activation& m_activation;
    Microsoft::WRL::ComPtr<IDispatch> m_application;
    Microsoft::WRL::ComPtr<EventSink> m_sink;
};

class CollectionComponent final : public Component {
public:
    explicit CollectionComponent(const ApplicationDescription& description) : m_description(description) {}

    // Releases everything held, then takes the application's collection and, when adding,
    // adds a new item and does the bookkeeping. False when any call fails or brings back
    // no object; what was obtained up to then stays held.
    bool AttachApplication(const ApplicationComponent& application, bool add = true);

    IDispatch* Collection() const { return m_collection.Get(); }
    IDispatch* Added() const { return m_added.Get(); }
    const std::vector<Microsoft::WRL::ComPtr<IDispatch>>& Held() const { return m_held; }

private:
    void ReleaseAll();
    bool Add(IDispatch* collection);
    bool DoBookkeeping(IDispatch* application, IDispatch* collection);

    const ApplicationDescription& m_description;
    Microsoft::WRL::ComPtr<IDispatch> m_collection;
    Microsoft::WRL::ComPtr<IDispatch> m_added;
    // The bookkeeping references: Word's Selection; Excel's Application, Sheets and first sheet.
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> m_held;
};

// Makes the automation component a design control asks for.
std::unique_ptr<Component> CreateOfficeComponent(const ControlDesign& control, ComponentHost& host);

}  // namespace tessivar
