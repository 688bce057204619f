#include "quillmont/library/class_table.h"

#include <vector>

#include "quillmont/email_panel/x_event_email_tab.h"
#include "quillmont/events_panel/x_events_tab.h"
#include "quillmont/library/registry_file.h"
#include "quillmont/snmp_panel/x_event_snmp_tab.h"

namespace quillmont::library {
namespace {

const typelib::ClassInfo& Info(const Guid& classId) { return *typelib::GetTypeLibrary().FindClass(classId); }

template <class Panel>
std::shared_ptr<quillmont::IFolioControl> Create() {
  return Panel::Create();
}

template <class Panel>
Panel& As(quillmont::IFolioControl& panel) {
  return dynamic_cast<Panel&>(panel);
}

Variant CallHostPortExists(quillmont::IFolioControl& panel, ArgList args) {
  return As<XEventSNMPTab>(panel).HostPortExists(OptionalObjectArg<SnmpManager>(args, 0, "snmpMgrSeleted"));
}

Variant CallAddressExists(quillmont::IFolioControl& panel, ArgList args) {
  return As<XEventEmailTab>(panel).AddressExists(OptionalObjectArg<EmailRecipient>(args, 0, "addrNew"));
}

const std::vector<PanelClass>& Classes() {
  static const DispatchMember kSnmpMembers[] = {
      {&Info(typelib::kXEventSNMPTabClassId).defaultInterface->members[0], 0, 1, &CallHostPortExists}};
  static const DispatchMember kEmailMembers[] = {
      {&Info(typelib::kXEventEmailTabClassId).defaultInterface->members[0], 0, 1, &CallAddressExists}};
  static const std::vector<PanelClass> classes{
      {&Info(typelib::kXEventSNMPTabClassId), &Create<XEventSNMPTab>, kSnmpMembers},
      {&Info(typelib::kXEventsTabClassId), &Create<XEventsTab>, {}},
      {&Info(typelib::kXEventEmailTabClassId), &Create<XEventEmailTab>, kEmailMembers},
  };
  return classes;
}

}  // namespace

std::span<const PanelClass> PanelClasses() { return Classes(); }

const PanelClass* FindPanelClass(const Guid& classId) {
  for (const auto& c : Classes())
    if (c.info->classId == classId) return &c;
  return nullptr;
}

const DispatchMember* FindMember(const PanelClass& cls, typelib::DispId dispId) {
  for (const auto& m : ContractMembers())
    if (m.info->dispId == dispId) return &m;
  for (const auto& m : cls.members)
    if (m.info->dispId == dispId) return &m;
  return nullptr;
}

const DispatchMember* FindMember(const PanelClass& cls, std::string_view name) {
  for (const auto& m : ContractMembers())
    if (registry::EqualsIgnoringAsciiCase(m.info->name, name)) return &m;
  for (const auto& m : cls.members)
    if (registry::EqualsIgnoringAsciiCase(m.info->name, name)) return &m;
  return nullptr;
}

}  // namespace quillmont::library
