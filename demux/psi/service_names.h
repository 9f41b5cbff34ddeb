// Channel names as a person reads them: the actual SDT's service and provider names and the
// present events' names, gathered as the table layer parses them and decoded by the rule of the
// network they come from (ARIB STD-B24 text on an ISDB network, ETSI EN 300 468 Annex A on a DVB
// one).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "demux/psi/table_layer.h"

// How the SI text of a network is coded.
enum class SiTextCoding : uint8_t { Arib, Dvb };

// The coding of a network's text. A delivery system descriptor from its NIT (null: none) decides
// where it can: ISDB-T terrestrial, or satellite with an ISDB-S modulation or at a Japanese orbit,
// is ARIB; DVB-T, other satellites and the DVB extension systems are DVB. Cable (used by both) or no NIT leaves it to
// original_network_id: the ARIB networks' ids are ARIB, any other is DVB.
SiTextCoding si_text_coding(const uint8_t* deliveryDescriptor, uint32_t length, uint16_t original_network_id);

// A service's names in UTF-8, empty where the tables give none.
struct ServiceNameTexts {
  std::string serviceName;
  std::string providerName;
  std::string eventName;
};

// The observer that gathers the names (the newest version of each wins) and decodes them on
// request. Storage is bounded whatever the stream holds.
class ServiceNameCollector final : public TableObserver {
 public:
  void OnPmt(uint16_t, uint8_t, uint16_t, const PmtStreamEntry*, int) override {}
  void OnPresentEvent(uint16_t, uint16_t, uint64_t, uint32_t) override {}
  void OnServiceNames(const SdtServiceNames& names) override;
  void OnPresentEventName(uint16_t original_network_id, uint16_t service_id, const uint8_t* event_name,
                          uint32_t length) override;
  void OnDeliverySystem(uint16_t transport_stream_id, uint16_t original_network_id, const uint8_t* descriptor,
                        uint32_t length) override;

  // The coding of the recording's network: from the NIT's descriptor for the SDT's transport
  // stream (or its first one), else from the SDT's or the EIT's original_network_id; ARIB when
  // nothing tells.
  SiTextCoding coding() const;
  // The names of service_id, decoded by coding().
  ServiceNameTexts Names(uint16_t service_id) const;

 private:
  static constexpr size_t kMaxServices = 256;     // services remembered (a PAT lists at most 64)
  static constexpr size_t kMaxDeliveries = 64;    // delivery descriptors remembered
  using Text = std::vector<uint8_t>;
  struct Service {
    uint16_t serviceId = 0;
    Text provider, name, event;
  };
  struct Delivery {
    uint16_t transportStreamId = 0;
    uint16_t originalNetworkId = 0;
    Text descriptor;
  };
  Service* At(uint16_t service_id);
  const Service* Find(uint16_t service_id) const;

  std::vector<Service> services_;
  std::vector<Delivery> deliveries_;
  int32_t sdtNetworkId_ = -1;       // original_network_id of the actual SDT
  int32_t sdtStreamId_ = -1;        // its transport_stream_id
  int32_t eitNetworkId_ = -1;       // of the present events, for a recording without an SDT
};
