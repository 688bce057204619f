#include "quillmont/library/panel_object.h"

#include <atomic>

#include "quillmont/library/boundary.h"
#include "quillmont/platform/terminal_text.h"

namespace quillmont::library {
namespace {

using com::HResult;
using com::VariantArg;
using quillmont::ComBool;

// Whether a host calling through the interface tables passed a null
// interface identity where C++ sees a reference (read through a volatile,
// so that the check is kept).
bool NoIid(const Guid& iid) {
  const Guid* volatile address = &iid;
  return address == nullptr;
}

// Both bases reach IUnknown and IDispatch; one overrider serves both tables.
template <class Default>
class PanelObject : public Default, public com::IFolioControl {
 public:
  PanelObject(const PanelClass& cls, std::shared_ptr<quillmont::IFolioControl> native)
      : cls_(cls), native_(std::move(native)), events_(*this), reference_(*this) {
    ObjectCreated();
  }
  virtual ~PanelObject() { ObjectDestroyed(); }
  PanelObject(const PanelObject&) = delete;
  PanelObject& operator=(const PanelObject&) = delete;

  HResult QueryInterface(const Guid& iid, void** object) override {
    if (!object) return com::E_POINTER;
    *object = nullptr;
    if (NoIid(iid)) return com::E_POINTER;
    const typelib::ClassInfo& info = *cls_.info;
    if (iid == com::IUnknown::kIid || iid == com::IDispatch::kIid || iid == info.defaultInterface->id) {
      *object = static_cast<Default*>(this);
    } else if (iid == com::IFolioControl::kIid) {
      *object = static_cast<com::IFolioControl*>(this);
    } else if (iid == info.sourceInterface->id) {
      *object = static_cast<com::IDispatch*>(&events_);
    } else if (iid == com::IObjectReference::kIid) {
      *object = static_cast<com::IObjectReference*>(&reference_);
    } else {
      SetLastError("The class " + std::string(info.name) + " has no interface " + iid.ToString());
      return com::E_NOINTERFACE;
    }
    AddRef();
    return com::S_OK;
  }
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }

  HResult GetIDsOfNames(const char* name, com::DispId* dispId) override {
    return Guard(com::E_FAIL, [&] {
      if (!name || !dispId) throw BoundaryError(com::E_POINTER, "GetIDsOfNames needs a name and a place for the id");
      const DispatchMember* member = FindMember(cls_, std::string_view(name));
      if (!member)
        throw BoundaryError(com::DISP_E_UNKNOWNNAME,
                            std::string(cls_.info->name) + " has no member named \"" + text::Shortened(name) + "\"");
      *dispId = member->info->dispId;
      return com::S_OK;
    });
  }
  HResult Invoke(com::DispId dispId, VariantArg* args, std::uint32_t argCount, VariantArg* result) override {
    const DispatchMember* member = FindMember(cls_, dispId);
    if (!member) {
      ClearLastError();
      SetLastError(std::string(cls_.info->name) + " has no member with dispatch id " + HexCode(dispId));
      return com::DISP_E_MEMBERNOTFOUND;
    }
    // The object must outlive a call during which the host drops it.
    com::ComPtr<Default> self = com::ComPtr<Default>::Attach(static_cast<Default*>(this));
    AddRef();
    return InvokeMember(*member, *native_, args, argCount, result, &tabHost_);
  }

  // The tab contract through the interface table: the same calls as by
  // dispatch id.
  HResult HandleTabProcess(const char* sProcess, ComBool* result) override {
    VariantArg arg = VariantArg::FromString(sProcess);
    return CallBool(typelib::kDispHandleTabProcess, &arg, 1, result);
  }
  HResult IsTabValid(const char* sMsgBoxTitle, ComBool* result) override {
    VariantArg arg = VariantArg::FromString(sMsgBoxTitle);
    return CallBool(typelib::kDispIsTabValid, &arg, 1, result);
  }
  HResult LoadState() override { return Invoke(typelib::kDispLoadState, nullptr, 0, nullptr); }
  HResult SaveData() override { return Invoke(typelib::kDispSaveData, nullptr, 0, nullptr); }
  HResult LoadData(const VariantArg* v, const char* sName, com::IUnknown* dtN) override {
    if (!v) {
      ClearLastError();
      SetLastError("LoadData needs a variant for v");
      return com::E_POINTER;
    }
    VariantArg args[3] = {*v, VariantArg::FromString(sName), VariantArg::FromObject(dtN)};
    return Invoke(typelib::kDispLoadData, args, 3, nullptr);
  }
  HResult SaveState() override { return Invoke(typelib::kDispSaveState, nullptr, 0, nullptr); }

 protected:
  // Calls a member that answers a Boolean and hands it out as -1/0.
  HResult CallBool(com::DispId dispId, VariantArg* args, std::uint32_t argCount, ComBool* result) {
    if (!result) {
      ClearLastError();
      SetLastError("No place for the result");
      return com::E_POINTER;
    }
    VariantArg value;
    const HResult hr = Invoke(dispId, args, argCount, &value);
    if (com::Failed(hr)) return hr;
    *result = value.type == VariantArg::Boolean ? value.boolean : ComFalse;
    return hr;
  }
  // An optional argument: null pointer means omitted.
  HResult CallBoolOptional(com::DispId dispId, VariantArg* arg, ComBool* result) {
    return CallBool(dispId, arg, arg ? 1 : 0, result);
  }

 private:
  // The source interface: events the panels never raise.
  class EventSource final : public com::IDispatch {
   public:
    explicit EventSource(PanelObject& owner) : owner_(owner) {}
    HResult QueryInterface(const Guid& iid, void** object) override { return owner_.QueryInterface(iid, object); }
    std::uint32_t AddRef() override { return owner_.AddRef(); }
    std::uint32_t Release() override { return owner_.Release(); }
    HResult GetIDsOfNames(const char* name, com::DispId*) override {
      ClearLastError();
      SetLastError("The event interface has no member named \"" + text::Shortened(name ? name : "") + "\"");
      return com::DISP_E_UNKNOWNNAME;
    }
    HResult Invoke(com::DispId dispId, VariantArg*, std::uint32_t, VariantArg*) override {
      ClearLastError();
      SetLastError("The event interface has no member with dispatch id " + HexCode(dispId));
      return com::DISP_E_MEMBERNOTFOUND;
    }

   private:
    PanelObject& owner_;
  };

  // The native panel for hosts that share the library's C++ interfaces.
  // What it hands out holds a reference on this object.
  class Reference final : public com::IObjectReference {
   public:
    explicit Reference(PanelObject& owner) : owner_(owner) {}
    HResult QueryInterface(const Guid& iid, void** object) override { return owner_.QueryInterface(iid, object); }
    std::uint32_t AddRef() override { return owner_.AddRef(); }
    std::uint32_t Release() override { return owner_.Release(); }
    HResult Get(std::shared_ptr<Object>* object) override {
      return Guard(com::E_FAIL, [&] {
        if (!object) throw BoundaryError(com::E_POINTER, "No place for the object");
        PanelObject* owner = &owner_;
        std::shared_ptr<Object> held(static_cast<Object*>(owner->native_.get()),
                                     [owner](Object*) { owner->Release(); });
        owner->AddRef();
        *object = std::move(held);
        return com::S_OK;
      });
    }

   private:
    PanelObject& owner_;
  };

  const PanelClass& cls_;
  std::shared_ptr<quillmont::IFolioControl> native_;
  // The page only observes its tab container; across the boundary the
  // object holds the host's container, as a COM page holds a reference.
  std::shared_ptr<TabHost> tabHost_;
  std::atomic<std::uint32_t> count_{1};
  EventSource events_;
  Reference reference_;
};

class SnmpPanelObject final : public PanelObject<com::IXEventSNMPTab> {
 public:
  using PanelObject::PanelObject;
  HResult HostPortExists(VariantArg* snmpMgrSeleted, ComBool* result) override {
    return CallBoolOptional(typelib::kDispHostPortExists, snmpMgrSeleted, result);
  }
};

class EmailPanelObject final : public PanelObject<com::IXEventEmailTab> {
 public:
  using PanelObject::PanelObject;
  HResult AddressExists(VariantArg* addrNew, ComBool* result) override {
    return CallBoolOptional(typelib::kDispAddressExists, addrNew, result);
  }
};

class EventsPanelObject final : public PanelObject<com::IXEventsTab> {
 public:
  using PanelObject::PanelObject;
};

class ClassFactory final : public com::IClassFactory {
 public:
  explicit ClassFactory(const PanelClass& cls) : cls_(cls) { ObjectCreated(); }
  ~ClassFactory() { ObjectDestroyed(); }
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HResult QueryInterface(const Guid& iid, void** object) override {
    if (!object) return com::E_POINTER;
    *object = nullptr;
    if (NoIid(iid)) return com::E_POINTER;
    if (iid != com::IUnknown::kIid && iid != com::IClassFactory::kIid) {
      SetLastError("A class factory has no interface " + iid.ToString());
      return com::E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<com::IClassFactory*>(this);
    return com::S_OK;
  }
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }

  HResult CreateInstance(com::IUnknown* outer, const Guid& iid, void** object) override {
    return Guard(com::E_FAIL, [&] {
      if (!object) throw BoundaryError(com::E_POINTER, "No place for the new object");
      *object = nullptr;
      if (NoIid(iid)) throw BoundaryError(com::E_POINTER, "No interface identity for the new object");
      if (outer) throw BoundaryError(com::CLASS_E_NOAGGREGATION, "The panels cannot be aggregated");
      auto native = cls_.create();
      if (!native) throw BoundaryError(com::E_FAIL, "The panel " + std::string(cls_.info->name) + " was not made");
      const HResult hr = WrapPanel(cls_, std::move(native), iid, object);
      if (com::Failed(hr)) throw BoundaryError(hr, LastErrorText());
      return hr;
    });
  }

  HResult LockServer(ComBool lock) override {
    ClearLastError();
    if (FromComBool(lock)) {
      AddServerLock();
      return com::S_OK;
    }
    if (RemoveServerLock()) return com::S_OK;
    SetLastError("LockServer(False) without a lock to remove");
    return com::E_UNEXPECTED;
  }

 private:
  const PanelClass& cls_;
  std::atomic<std::uint32_t> count_{1};
};

template <class T>
HResult Answer(T* made, const Guid& iid, void** object) {
  const HResult hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

}  // namespace

HResult WrapPanel(const PanelClass& cls, std::shared_ptr<quillmont::IFolioControl> native, const Guid& iid,
                  void** object) {
  return Guard(com::E_FAIL, [&] {
    if (!object) throw BoundaryError(com::E_POINTER, "No place for the new object");
    *object = nullptr;
    const Guid& defaultId = cls.info->defaultInterface->id;
    if (defaultId == com::IXEventSNMPTab::kIid) return Answer(new SnmpPanelObject(cls, std::move(native)), iid, object);
    if (defaultId == com::IXEventEmailTab::kIid)
      return Answer(new EmailPanelObject(cls, std::move(native)), iid, object);
    return Answer(new EventsPanelObject(cls, std::move(native)), iid, object);
  });
}

HResult CreateClassFactory(const PanelClass& cls, const Guid& iid, void** object) {
  return Guard(com::E_FAIL, [&] {
    if (!object) throw BoundaryError(com::E_POINTER, "No place for the class factory");
    *object = nullptr;
    return Answer(new ClassFactory(cls), iid, object);
  });
}

}  // namespace quillmont::library
