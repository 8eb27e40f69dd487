#include "kinds/virtual_server.h"

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"

SrmVirtualServer::SrmVirtualServer() : SrmResource(SRM_VIRTUALSERVER) {}

SrmVirtualServer::SrmVirtualServer(const std::string& name) : SrmVirtualServer() {
  setId(name);
}

SrmVirtualServer::~SrmVirtualServer() {
  if (service_group_ != nullptr) service_group_->Release();
}

const SrmRecordCodec<SrmVirtualServer>& SrmVirtualServer::codec() {
  using F = SrmField<SrmVirtualServer>;
  using V = SrmVirtualServer;
  static const SrmRecordCodec<SrmVirtualServer> kCodec(
      kKeyVirtualServer, SrmStateRule::Or,
      {
          F::Text(kKeyHostName, &V::host_name_),
          F::Text(kKeyIPAddr, &V::ip_addr_),
          F::Text(kKeyName, &V::name_),
          F::Int(kKeyPort, &V::port_),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyState, kKeyHostName, kKeyIPAddr, kKeyName,
       kKeyServiceGroup},
      {kKeyType, kKeyId}, /*reads_lid=*/false);
  return kCodec;
}

void SrmVirtualServer::setServiceGroup(SrmServiceGroup* g) {
  if (g == nullptr || g == service_group_) return;
  g->AddRef();
  if (service_group_ != nullptr) service_group_->Release();
  service_group_ = g;
}

void SrmVirtualServer::clearServiceGroup() {
  if (service_group_ != nullptr) service_group_->Release();
  service_group_ = nullptr;
}

void SrmVirtualServer::linkPendingServiceGroup() {
  if (pending_group_.empty() || getDatabase() == nullptr) return;
  SrmServiceGroup* g = getDatabase()->findServiceGroup(pending_group_.str());
  if (g == nullptr) return;
  setServiceGroup(g);
  assignText(&pending_group_, std::string_view());
}

int SrmVirtualServer::mergeResource(SrmResource* other) {
  return codec().merge(this, other);
}

int SrmVirtualServer::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags, [this](SrmTupleLine* line, int key) {
    if (key == kKeyServiceGroup && service_group_ != nullptr)
      line->addText(key, service_group_->getName());
  });
}

int SrmVirtualServer::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple, [this](int key, std::string_view value) {
    if (key != kKeyServiceGroup || getDatabase() == nullptr) return;
    SrmServiceGroup* g = getDatabase()->findServiceGroup(std::string(value));
    setServiceGroup(g);
    assignText(&pending_group_, g == nullptr ? value : std::string_view());
  });
  return 1;
}
