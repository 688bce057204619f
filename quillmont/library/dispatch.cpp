#include "quillmont/library/dispatch.h"

#include <vector>

#include "quillmont/library/boundary.h"
#include "quillmont/platform/error.h"

namespace quillmont::library {
namespace {

using com::VariantArg;

// A host's tab container reached through the boundary. Holds its reference
// for as long as the panel keeps the container.
class TabHostAdapter final : public TabHost {
 public:
  explicit TabHostAdapter(com::ComPtr<com::ITabHost> host) : host_(std::move(host)) {}

  void MarkChanged() override { Check(host_->MarkChanged(), "MarkChanged"); }
  void SelectTab(std::string& tabKey) override {
    // The host may reload the panel from inside this call, which replaces
    // the panel's key: the text handed over must outlive that.
    const std::string key = tabKey;  // NOLINT(performance-unnecessary-copy-initialization)
    const com::ComPtr<com::ITabHost> host = host_;
    Check(host->SelectTab(key.c_str()), "SelectTab");
  }

 private:
  static void Check(com::HResult hr, const char* operation) {
    if (com::Failed(hr))
      throw Error(ErrorCode::Failed,
                  std::string("The host's tab container failed ") + operation + " (" + HexCode(hr) + ")");
  }
  com::ComPtr<com::ITabHost> host_;
};

const typelib::InterfaceInfo& FolioInfo() {
  return *typelib::GetTypeLibrary().FindInterface(quillmont::IFolioControl::kInterfaceId);
}

Variant CallHandleTabProcess(quillmont::IFolioControl& panel, ArgList args) {
  return panel.HandleTabProcess(StringArg(args, 0, "sProcess"));
}
Variant CallIsTabValid(quillmont::IFolioControl& panel, ArgList args) {
  return panel.IsTabValid(StringArg(args, 0, "sMsgBoxTitle"));
}
Variant CallLoadState(quillmont::IFolioControl& panel, ArgList) {
  panel.LoadState();
  return {};
}
Variant CallSaveData(quillmont::IFolioControl& panel, ArgList) {
  panel.SaveData();
  return {};
}
Variant CallLoadData(quillmont::IFolioControl& panel, ArgList args) {
  std::string sName = StringArg(args, 1, "sName");
  panel.LoadData(args[0], sName, TabHostArg(args, 2, "dtN"));
  return {};
}
Variant CallSaveState(quillmont::IFolioControl& panel, ArgList) {
  panel.SaveState();
  return {};
}

bool IsOmitted(const VariantArg& a) { return a.type == VariantArg::Error && a.error == com::DISP_E_PARAMNOTFOUND; }

}  // namespace

void ThrowArgumentMismatch(std::size_t index, std::string_view name, const std::string& why) {
  throw BoundaryError(com::DISP_E_TYPEMISMATCH,
                      "Argument " + std::to_string(index + 1) + " (" + std::string(name) + "): " + why);
}

std::span<const DispatchMember> ContractMembers() {
  static const std::vector<DispatchMember> members = [] {
    const auto& info = FolioInfo().members;
    return std::vector<DispatchMember>{
        {&info[0], 1, 1, &CallHandleTabProcess}, {&info[1], 1, 1, &CallIsTabValid}, {&info[2], 0, 0, &CallLoadState},
        {&info[3], 0, 0, &CallSaveData},         {&info[4], 3, 3, &CallLoadData},   {&info[5], 0, 0, &CallSaveState},
    };
  }();
  return members;
}

Variant FromBoundary(const VariantArg& arg) {
  const bool byRef = (arg.type & VariantArg::ByRef) != 0;
  const auto type = static_cast<std::uint16_t>(arg.type & ~VariantArg::ByRef);
  if (byRef) {
    if (type != VariantArg::Variant)
      throw BoundaryError(com::DISP_E_BADVARTYPE, "Only variants are passed by reference");
    if (!arg.ref) throw BoundaryError(com::E_POINTER, "A reference argument points nowhere");
    if (arg.ref->type & VariantArg::ByRef)
      throw BoundaryError(com::DISP_E_BADVARTYPE, "A reference to a reference is not accepted");
    return FromBoundary(*arg.ref);
  }
  switch (type) {
    case VariantArg::Empty:
      return {};
    case VariantArg::Null:
      return Variant::Null();
    case VariantArg::Int16:
      return arg.int16;
    case VariantArg::Int32:
      return arg.int32;
    case VariantArg::Double:
      return arg.real;
    case VariantArg::Boolean:
      return FromComBool(arg.boolean);
    case VariantArg::String:
      return std::string(arg.string ? arg.string : "");
    case VariantArg::Error:
      if (IsOmitted(arg)) return {};
      throw BoundaryError(com::DISP_E_TYPEMISMATCH, "An error value is no argument");
    case VariantArg::Unknown:
    case VariantArg::Dispatch: {
      if (!arg.object) return Variant(std::shared_ptr<Object>());
      com::ComPtr<com::IObjectReference> reference;
      if (com::Succeeded(arg.object->QueryInterface(com::IObjectReference::kIid, reference.Out())) && reference) {
        std::shared_ptr<Object> object;
        const com::HResult hr = reference->Get(&object);
        if (com::Failed(hr)) throw BoundaryError(hr, "An object reference gave no object");
        return Variant(std::move(object));
      }
      com::ComPtr<com::ITabHost> host;
      if (com::Succeeded(arg.object->QueryInterface(com::ITabHost::kIid, host.Out())) && host)
        return Variant(std::make_shared<TabHostAdapter>(std::move(host)));
      throw BoundaryError(com::DISP_E_TYPEMISMATCH, "An object argument answers neither IObjectReference nor ITabHost");
    }
    default:
      throw BoundaryError(com::DISP_E_BADVARTYPE, "Variant type " + std::to_string(type) + " is not accepted");
  }
}

VariantArg ToBoundary(const Variant& value) {
  switch (value.GetType()) {
    case Variant::Type::Empty:
      return {};
    case Variant::Type::Boolean:
      return VariantArg::FromBool(value.ToBool());
    case Variant::Type::Int16: {
      VariantArg v;
      v.type = VariantArg::Int16;
      v.int16 = value.ToInt16();
      return v;
    }
    case Variant::Type::Int32:
      return VariantArg::FromInt32(value.ToInt32());
    case Variant::Type::Double: {
      VariantArg v;
      v.type = VariantArg::Double;
      v.real = value.ToDouble();
      return v;
    }
    default:
      // No member of the panels returns text or objects.
      throw BoundaryError(com::E_UNEXPECTED, "A result that cannot cross the boundary");
  }
}

std::string StringArg(ArgList args, std::size_t index, std::string_view name) {
  const Variant& v = args[index];
  if (v.IsObject()) ThrowArgumentMismatch(index, name, "text is required, not an object");
  if (v.IsNull()) ThrowArgumentMismatch(index, name, "text is required, not Null");
  return v.ToString();
}

std::shared_ptr<TabHost> TabHostArg(ArgList args, std::size_t index, std::string_view name) {
  return OptionalObjectArg<TabHost>(args, index, name);
}

com::HResult InvokeMember(const DispatchMember& member, quillmont::IFolioControl& panel, VariantArg* args,
                          std::uint32_t argCount, VariantArg* result, std::shared_ptr<TabHost>* keptHost) {
  if (result) *result = VariantArg();
  return Guard(com::DISP_E_EXCEPTION, [&] {
    if (argCount > 0 && !args) throw BoundaryError(com::E_POINTER, "No argument array");
    auto badCount = [&] {
      return BoundaryError(com::DISP_E_BADPARAMCOUNT,
                           std::string(member.info->name) + " takes " + std::to_string(member.minArgs) +
                               (member.maxArgs != member.minArgs ? " to " + std::to_string(member.maxArgs) : "") +
                               " arguments, not " + std::to_string(argCount));
    };
    // The count is checked before any argument is read: a count larger
    // than the array would otherwise send the reads past its end.
    if (argCount > member.maxArgs) throw badCount();
    std::size_t count = argCount;
    // Optional arguments left out at the end count as not given.
    while (count > member.minArgs && IsOmitted(args[count - 1])) --count;
    if (count < member.minArgs) throw badCount();
    std::vector<Variant> converted;
    converted.reserve(count);
    for (std::size_t i = 0; i < count; ++i) converted.push_back(FromBoundary(args[i]));
    if (keptHost && member.call == &CallLoadData) *keptHost = TabHostArg(converted, 2, "dtN");
    const Variant value = member.call(panel, converted);
    if (result) *result = ToBoundary(value);
    return com::S_OK;
  });
}

}  // namespace quillmont::library
