#include "report/rm_cim_report.h"

#include "providerutil.h"
#include "report/report_log.h"

using nmspc_cim::CCIMObjectPath;
using nmspc_cim::CCIMProperty;

// --- Key-name tables ---

#define RM_KEY_TABLE(table, ...)             \
  const char* const table[] = {__VA_ARGS__}; \
  const int table##_count = static_cast<int>(sizeof(table) / sizeof(table[0]))

RM_KEY_TABLE(rm_computersystem_keys, "CreationClassName", "Name");
RM_KEY_TABLE(rm_ipprotocolendpoint_keys, "SystemCreationClassName", "SystemName",
             "CreationClassName", "Name");
RM_KEY_TABLE(rm_share_keys, "SystemCreationClassName", "SystemName", "CreationClassName", "Name");
RM_KEY_TABLE(rm_sharedelement_asso_keys, "SystemElement", "SameElement");
RM_KEY_TABLE(rm_diskgroup_keys, "CollectionID");
RM_KEY_TABLE(rm_fs_keys, "CSCreationClassName", "CreationClassName", "CSName", "Name");
RM_KEY_TABLE(rm_alias_keys, "ReportedQDXIdentity", "QDXIdentityAlias");
RM_KEY_TABLE(rm_logdev_keys, "SystemCreationClassName", "SystemName", "CreationClassName",
             "DeviceID");
RM_KEY_TABLE(rm_grppart_asso_keys, "GroupComponent", "PartComponent");
RM_KEY_TABLE(rm_antdep_asso_keys, "Dependent", "Antecedent");
RM_KEY_TABLE(rm_collmem_asso_keys, "Collection", "Member");

#undef RM_KEY_TABLE

namespace {

using report_log::Log;

// What a failure message shows for the value of a property: the text, or for a reference the
// class of the instance it points to.
std::string ValueForMessage(const void* value, CIMType type) {
  if (value == nullptr) return std::string();
  if (type == nmspc_cim::CIM_REFERENCE) {
    const auto* target = static_cast<const CCIMInstance*>(value);
    return target->className != nullptr ? target->className : std::string();
  }
  return static_cast<const char*>(value);
}

}  // namespace

RM_CIM_Report::~RM_CIM_Report() {
  if (!handed_out_) nmspc_cim::cim_freeInstance(instance_);
}

void RM_CIM_Report::RaiseResult(const std::string& code, const std::string& value,
                                const std::string& label) {
  report_log::Raise(provider_name_, &utility_, code, value, label);
}

int RM_CIM_Report::Initialize(const char* class_name, int key_count, const char* const* key_names) {
  if (class_name == nullptr || *class_name == '\0') {
    Log(PRV_LOG_ERROR, "Initialize()", "Class name for the cim instance is blank. CRITCAL ERROR");
    RaiseResult("F_REPORT_CONV_FAILURE", "Blank CIM class name", "Initialize");
    return 0;
  }
  if (key_count < 0 || (key_count > 0 && key_names == nullptr)) {
    Log(PRV_LOG_ERROR, "Initialize()", "There must be 0 or more keys. CRITCAL ERROR");
    RaiseResult("F_REPORT_CONV_FAILURE", "Invalid number of keys", "Initialize");
    return 0;
  }
  CCIMInstance* instance = nmspc_cim::cim_createInstanceNamedIn(arena_, class_name);
  if (instance == nullptr) {
    std::string message = nmspc_cim::cim_getLastError()->message;
    Log(PRV_LOG_ERROR, "Initialize()", message);
    RaiseResult("F_REPORT_CONV_FAILURE", message, "Initialize");
    return 0;
  }
  // A second Initialize starts over: the instance it replaces was never handed out.
  if (!handed_out_) nmspc_cim::cim_freeInstance(instance_);
  instance_ = instance;
  handed_out_ = false;
  declared_keys_ = key_names;
  declared_key_count_ = key_count;
  initialized_ = true;
  return 1;
}

int RM_CIM_Report::SetProperty(const char* name, const void* value, CIMType type, bool is_key,
                               bool is_natural_name, bool keep_value) {
  if (!initialized_) {
    Log(PRV_LOG_ERROR, "SetKey()", "Status is invalid, Initialize() not called.");
    return 0;
  }
  if (instance_ == nullptr) {
    Log(PRV_LOG_ERROR, "SetProperty()", "CCIMInstance is NULL.");
    return 0;
  }
  if (is_natural_name && type != nmspc_cim::CIM_REFERENCE) {
    natural_name = value != nullptr ? static_cast<const char*>(value) : "";
  }
  CCIMException* e = InsertProperty(
      name, value, type, is_key ? nmspc_cim::CIM_TRUE : nmspc_cim::CIM_FALSE, keep_value);
  if (e == nullptr) return 1;
  std::string message = std::string(e->message) + " while setting " +
                        (name != nullptr ? name : "") + " with value " +
                        ValueForMessage(value, type);
  Log(PRV_LOG_ERROR, "SetProperty()", message);
  RaiseResult("F_REPORT_CONV_FAILURE", message, "SetProperty");
  return 0;
}

CCIMException* RM_CIM_Report::InsertProperty(const char* name, const void* value, CIMType type,
                                             CIMBool is_key, bool keep_value) {
  if (instance_ == nullptr) {
    Log(PRV_LOG_ERROR, "InsertProperty", "Invalid ciminstance.");
    return nmspc_cim::cim_createException(2, "NULL CIMInstance member object.", "InsertProperty");
  }
  CCIMProperty* property = nullptr;
  if (type == nmspc_cim::CIM_REFERENCE) {
    // Every reference to one instance holds the same path: it is made once per instance.
    CCIMObjectPath* path = nmspc_cim::cim_shareObjectPath(static_cast<const CCIMInstance*>(value));
    if (path == nullptr) {
      Log(PRV_LOG_ERROR, "InsertProperty", "Unable to create object path");
      return nmspc_cim::cim_getLastError();
    }
    // The property takes this hold on the path instead of copying it: made as a property
    // without value, then given the path, it names what cim_createProperty's copy would name.
    property = nmspc_cim::cim_createPropertyNamedIn(arena_, name, nmspc_cim::CIM_STRING, nullptr,
                                                    nullptr, is_key);
    if (property == nullptr) {
      nmspc_cim::cim_freeObjectPath(path);
    } else {
      property->type = nmspc_cim::CIM_REFERENCE;
      property->reference = path;
    }
  } else {
    auto create =
        keep_value ? nmspc_cim::cim_createPropertyKeptIn : nmspc_cim::cim_createPropertyNamedIn;
    property = create(arena_, name, type, static_cast<const char*>(value), nullptr, is_key);
  }
  if (property == nullptr) return nmspc_cim::cim_getLastError();
  if (nmspc_cim::cim_addProperty(instance_, property) == 0) {
    nmspc_cim::cim_freeProperty(property);  // the instance did not take it
    Log(PRV_LOG_ERROR, "InsertProperty", "Add property to instance failed.");
    return nmspc_cim::cim_getLastError();
  }
  return nullptr;
}

CCIMInstance* RM_CIM_Report::GetCIMInstance() {
  if (instance_ != nullptr) {
    handed_out_ = true;
    return instance_;
  }
  Log(PRV_LOG_ERROR, "GetInstance()", "CIMInstance is NULL. CRITICAL ERROR");
  RaiseResult("F_NULL_POINTER", "CIMInstance", "Pointer");
  return nullptr;
}
