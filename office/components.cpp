#include "components.h"

#include "dispatch.h"

#include <algorithm>
#include <array>

namespace tessivar {

using Microsoft::WRL::ComPtr;

const Activation kSystemActivation = {CLSIDFromProgID, CoCreateInstance, OleRun};

ApplicationComponent::ApplicationComponent(const ApplicationDescription& description, ComponentHost& host, DesignId id,
                                           const Activation& activation)
    : m_description(description), m_host(host), m_id(id), m_activation(activation)
{
}

ApplicationComponent::~ApplicationComponent()
{
    Disconnect();
}

void ApplicationComponent::Disconnect()
{
    if (m_sink != nullptr) {
        m_sink->Disconnect();
        m_sink.Reset();
    }
    m_application.Reset();
}

bool ApplicationComponent::StartApplication()
{
    Disconnect();

    CLSID clsid;
    if (FAILED(m_activation.clsidFromProgId(m_description.progId, &clsid)))
        return false;
    ComPtr<IUnknown> unknown;
    HRESULT hr = m_activation.createInstance(clsid, nullptr, kCreateContext, IID_IUnknown, &unknown);
    if (hr == E_INVALIDARG) {
        // Systems without remote activation reject the remote-server flag.
        hr = m_activation.createInstance(clsid, nullptr, kCreateContextLocal, IID_IUnknown, &unknown);
    }
    if (FAILED(hr) || unknown == nullptr)
        return false;
    if (FAILED(m_activation.run(unknown.Get())))
        return false;
    ComPtr<IDispatch> application;
    if (FAILED(unknown.As(&application)))
        return false;
    unknown.Reset();
    m_application = std::move(application);

    // Events are optional: without them the application still starts.
    // The sink starts with no references: this pointer takes the first.
    ComPtr<EventSink> sink = new EventSink(m_description.eventInterface, this);
    const ComPtr<IDispatch> app = m_application;  // see PutVisible
    if (SUCCEEDED(sink->Connect(app.Get())))
        m_sink = std::move(sink);
    else
        sink->Disconnect();
    return true;
}

void ApplicationComponent::PutVisible(bool visible)
{
    // Messages are dispatched while a call is out, so another click may replace what this
    // component holds meanwhile: every call is made on a reference of its own.
    const ComPtr<IDispatch> app = m_application;
    if (app == nullptr)
        return;
    const VARIANT value =
        m_description.visibleShape == VisibleShape::I4One ? I4Variant(visible ? 1 : 0) : BoolVariant(visible);
    // A failure changes nothing for the caller: the launch goes on either way.
    PropertyPut(app.Get(), m_description.visible, value);
}

void ApplicationComponent::OnApplicationEvent(DISPID event)
{
    const auto& events = m_description.forwardedEvents;
    if (!m_host.WindowExists() || std::find(events.begin(), events.end(), event) == events.end())
        return;
    m_host.RaiseEvent(m_id, static_cast<int>(event));
}

void CollectionComponent::ReleaseAll()
{
    m_held.clear();
    m_added.Reset();
    m_collection.Reset();
}

bool CollectionComponent::AttachApplication(const ApplicationComponent& application, bool add)
{
    ReleaseAll();
    // Calls are made on references of their own (see ApplicationComponent::PutVisible).
    const ComPtr<IDispatch> app = application.Application();
    if (app == nullptr)
        return false;
    ComPtr<IDispatch> collection;
    if (PropertyGetObject(app.Get(), m_description.collection, {}, collection) != S_OK)
        return false;
    m_collection = collection;
    if (m_description.takesAddFlag && !add)
        return true;
    if (!Add(collection.Get()))
        return false;
    return DoBookkeeping(app.Get(), collection.Get());
}

bool CollectionComponent::Add(IDispatch* collection)
{
    ComPtr<IDispatch> added;
    HRESULT hr = E_UNEXPECTED;
    switch (m_description.addArguments) {
        case AddArguments::FourByRefOmitted: {
            std::array<VARIANT, 4> omitted = {MissingVariant(), MissingVariant(), MissingVariant(), MissingVariant()};
            std::array<VARIANT, 4> arguments{};
            for (std::size_t i = 0; i < arguments.size(); ++i) {
                V_VT(&arguments[i]) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(&arguments[i]) = &omitted[i];
            }
            hr = CallMethodForObject(collection, m_description.add, arguments, added);
            break;
        }
        case AddArguments::OneOmitted: {
            std::array<VARIANT, 1> arguments = {MissingVariant()};
            hr = CallMethodForObject(collection, m_description.add, arguments, added);
            break;
        }
        case AddArguments::OneI4One: {
            std::array<VARIANT, 1> arguments = {I4Variant(1)};
            hr = CallMethodForObject(collection, m_description.add, arguments, added);
            break;
        }
    }
    if (hr != S_OK)
        return false;
    if (m_description.keepAdded)
        m_added = std::move(added);
    return true;
}

bool CollectionComponent::DoBookkeeping(IDispatch* application, IDispatch* collection)
{
    switch (m_description.bookkeeping) {
        case Bookkeeping::None:
            return true;
        case Bookkeeping::ParentSelection: {
            ComPtr<IDispatch> parent;
            if (PropertyGetObject(collection, kDispidParent, {}, parent) != S_OK)
                return false;
            ComPtr<IDispatch> selection;
            if (PropertyGetObject(parent.Get(), kDispidSelection, {}, selection) != S_OK)
                return false;
            m_held.push_back(std::move(selection));
            return true;
        }
        case Bookkeeping::ApplicationSheetsFirst: {
            ComPtr<IDispatch> appObject;
            if (PropertyGetObject(application, kDispidApplication, {}, appObject) != S_OK)
                return false;
            m_held.push_back(appObject);
            ComPtr<IDispatch> sheets;
            if (PropertyGetObject(appObject.Get(), kDispidSheets, {}, sheets) != S_OK)
                return false;
            m_held.push_back(sheets);
            std::array<VARIANT, 1> first = {I4Variant(1)};
            ComPtr<IDispatch> sheet;
            if (PropertyGetObject(sheets.Get(), kDispidItem, first, sheet) != S_OK)
                return false;
            m_held.push_back(std::move(sheet));
            return true;
        }
    }
    return false;
}

std::unique_ptr<Component> CreateOfficeComponent(const ControlDesign& control, ComponentHost& host)
{
    switch (control.componentType) {
        case ComponentType::WordApp:
            return std::make_unique<ApplicationComponent>(kWord, host, control.id);
        case ComponentType::ExcelApp:
            return std::make_unique<ApplicationComponent>(kExcel, host, control.id);
        case ComponentType::PPTApp:
            return std::make_unique<ApplicationComponent>(kPowerPoint, host, control.id);
        case ComponentType::WordDocuments:
            return std::make_unique<CollectionComponent>(kWord);
        case ComponentType::ExcelWorkbooks:
            return std::make_unique<CollectionComponent>(kExcel);
        case ComponentType::PPTPresentations:
            return std::make_unique<CollectionComponent>(kPowerPoint);
        case ComponentType::None:
            break;
    }
    return nullptr;
}

}  // namespace tessivar
