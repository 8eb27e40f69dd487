// The computer systems of the report: the host with its IP endpoints, or the cluster with its
// nodes and virtual servers. These passes set the system name and id every later pass uses.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "db/srm_resource_database.h"
#include "kinds/computer.h"
#include "kinds/virtual_server.h"
#include "providerutil.h"
#include "report/instance_build.h"
#include "report/qdx_report.h"
#include "report/report_log.h"
#include "report/report_values.h"

namespace {

using report_log::Log;

constexpr char kHostClass[] = "Tavrix_RM_HalcyonUnitaryComputerSystem";
constexpr char kVirtualClass[] = "Tavrix_RM_HalcyonVirtualComputerSystem";
constexpr char kEndpointClass[] = "CIM_IPProtocolEndpoint";

// The non-empty pieces of text between separators, in order.
std::vector<std::string> Pieces(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

// The recipe of a computer system that has only its class, id and host name.
std::vector<RM_PropertyRecipe> PlainSystem(const char* class_name, const std::string& id,
                                           const SrmText& host_name) {
  return {RM_Key("CreationClassName", class_name), RM_NaturalKey("Name", id),
          RM_Text("ElementName", host_name)};
}

}  // namespace

int QDX_Report::Get_System_Instances() {
  static const char kFunction[] = "Get_System_Instances";
  system_name_ = database_->getHostName();
  SrmResourceList::IdMap* computers = Records(SRM_COMPUTER);
  if (computers == nullptr) {
    Log(PRV_LOG_ERROR, kFunction, "No Computers found. FAILURE");
    return 0;
  }
  system_id_.clear();
  SrmComputer* host = nullptr;
  for (const auto& entry : *computers) {
    auto* computer = static_cast<SrmComputer*>(entry.second);
    if (computer->getHostName() == system_name_) {
      host = computer;
      system_id_ = DecodeQDXID(computer->getId());
      break;
    }
  }
  if (system_id_.empty()) {
    Log(PRV_LOG_ERROR, kFunction,
        "The rdb's computer is '" + system_name_ + "'. None of the Computers in the rdb" +
            " match this name. This condition means that the rdb is in a erroneous state.");
    RaiseResult("F_INVALID_COMPUTER_NAME", system_name_, "RDB's Computer Name");
    return 0;
  }

  std::vector<RM_PropertyRecipe> recipe = {RM_Key("CreationClassName", kHostClass),
                                           RM_NaturalKey("Name", system_id_),
                                           RM_Text("ElementName", system_name_)};
  if (!host->getOS().empty()) {
    std::vector<std::string> words = Pieces(host->getOS(), ' ');
    recipe.push_back(RM_Text("OSVersion", words.size() > 1 ? words[1] : std::string()));
    recipe.push_back(RM_Text("OSType", words.empty() ? std::string() : words[0]));
  }
  recipe.push_back(
      RM_Text("RAM", report_values::ScaledSize(host->getRAMMB(), 1048576), nmspc_cim::CIM_UINT64));
  recipe.push_back(IntegerProperty(kFunction, "MaxInstalledProcessorSpeed", host->getProcSpeedMHz(),
                                   nmspc_cim::CIM_UINT16, "computer", system_id_));
  recipe.push_back(IntegerProperty(kFunction, "NumInstalledProcessors", host->getProcCount(),
                                   nmspc_cim::CIM_UINT16, "computer", system_id_));
  std::string id;
  CCIMInstance* instance =
      BuildInstance(kHostClass, rm_computersystem_keys_count, rm_computersystem_keys, recipe, &id);
  if (instance == nullptr || !UpdateCIMInstMaps(instance, std::move(id), kSystems)) return 0;

  for (const std::string& address : Pieces(host->getIPAddr(), ',')) {
    if (!CreateIPAddressReport(address, system_id_)) return 0;
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created System CIM Instances");
  return 1;
}

int QDX_Report::CreateIPAddressReport(const std::string& address, const std::string& system_id) {
  std::string id;
  CCIMInstance* endpoint = BuildInstance(
      kEndpointClass, rm_ipprotocolendpoint_keys_count, rm_ipprotocolendpoint_keys,
      {RM_Key("SystemCreationClassName", "CIM_ComputerSystem"),
       RM_Key("CreationClassName", kEndpointClass), RM_Key("SystemName", system_id),
       RM_NaturalKey("Name", system_id + "~IPv4~" + address), RM_Text("IPv4Address", address)},
      &id);
  if (endpoint == nullptr || !UpdateCIMInstMaps(endpoint, id, kSystems)) return 0;

  return LinkInstances("CIM_HostedAccessPoint", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                       {"Dependent", id, kSystems}, {"Antecedent", system_id, kSystems},
                       MapKey{id, system_id}) == 1
             ? 1
             : 0;
}

int QDX_Report::Get_Cluster_Instances() {
  static const char kFunction[] = "Get_Cluster_Instances";
  const std::string& type = database_->cluster_name;
  const char* class_name = nullptr;  // a literal: the records keep it
  if (type == "OrvCluster") {
    class_name = "Tavrix_RM_OrvCluster";
  } else if (type == "VeritasCluster") {
    class_name = "Tavrix_RM_VeritasCluster";
  } else {
    Log(PRV_LOG_ERROR, kFunction, "ERROR!!! Unsupported cluster - " + type + ". Failing scan");
    RaiseResult("F_UNSUPPORTED_CLUSTER", type, "Cluster Type");
    return 0;
  }
  system_id_ = database_->cluster_id;
  system_name_ = database_->cluster_alias;

  std::string id;
  CCIMInstance* cluster = BuildInstance(
      class_name, rm_computersystem_keys_count, rm_computersystem_keys,
      {RM_Key("CreationClassName", class_name), RM_NaturalKey("Name", system_id_),
       RM_Text("ElementName", system_name_), RM_Text("SoftwareVersion", database_->cluster_version),
       RM_Text("ClusterState", "2", nmspc_cim::CIM_UINT16),
       IntegerProperty(kFunction, "MaxNumberOfNodes", database_->member_count,
                       nmspc_cim::CIM_UINT32, "cluster", system_id_),
       RM_Text("ClusterType", type)},
      &id);
  if (cluster == nullptr || !UpdateCIMInstMaps(cluster, std::move(id), kSystems)) return 0;

  if (!Get_VirtualServer_Instances()) {
    Log(PRV_LOG_ERROR, kFunction, "Get_VirtualServer_Instances FAILED");
    LogError("Get_VirtualServer_Instances");
    return 0;
  }
  if (!CreateClusterNodeReport()) {
    Log(PRV_LOG_ERROR, kFunction, "CreateClusterNodeReport FAILED");
    LogError("CreateClusterNodeReport");
    return 0;
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Cluster CIM Instance");
  return 1;
}

int QDX_Report::Get_VirtualServer_Instances() {
  static const char kFunction[] = "Get_VirtualServer_Instances";
  SrmResourceList::IdMap* servers = Records(SRM_VIRTUALSERVER);
  if (servers == nullptr) {
    Log(PRV_LOG_INFO, kFunction, "No Virtual Servers found.");
    return 1;
  }
  for (const auto& entry : *servers) {
    auto* server = static_cast<SrmVirtualServer*>(entry.second);
    std::string id;
    CCIMInstance* instance = BuildInstance(
        kVirtualClass, rm_computersystem_keys_count, rm_computersystem_keys,
        PlainSystem(kVirtualClass, DecodeQDXID(server->getId()), server->getHostName()), &id);
    if (instance == nullptr || !UpdateCIMInstMaps(instance, id, kSystems)) return 0;
    if (LinkInstances("CIM_HostingCS", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                      {"Dependent", id, kSystems}, {"Antecedent", system_id_, kSystems},
                      MapKey{id, system_id_}) != 1) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created VirtualServer CIM Instance");
  return 1;
}

int QDX_Report::CreateClusterNodeReport() {
  static const char kFunction[] = "CreateClusterNodeReport";
  SrmResourceList::IdMap* computers = Records(SRM_COMPUTER);
  if (computers == nullptr) {
    Log(PRV_LOG_INFO, kFunction, "No systems in the cluster - " + system_name_);
    return 1;
  }
  for (const auto& entry : *computers) {
    auto* computer = static_cast<SrmComputer*>(entry.second);
    std::string id;
    CCIMInstance* node = BuildInstance(
        kHostClass, rm_computersystem_keys_count, rm_computersystem_keys,
        PlainSystem(kHostClass, DecodeQDXID(computer->getId()), computer->getHostName()), &id);
    if (node == nullptr || !UpdateCIMInstMaps(node, id, kSystems)) return 0;
    if (LinkInstances("Tavrix_RM_ParticipatingCS", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                      {"Dependent", system_id_, kSystems}, {"Antecedent", id, kSystems},
                      MapKey{id, system_id_},
                      {{"ClusterIndex",
                        IntegerText(kFunction, "ClusterIndex", computer->getLLTId(),
                                    nmspc_cim::CIM_UINT16, "computer", id),
                        nmspc_cim::CIM_UINT16}}) != 1) {
      return 0;
    }
  }
  Log(PRV_LOG_INFO, kFunction, "Successfully created Cluster Nodes CIM Instances");
  return 1;
}
