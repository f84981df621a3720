#include "firmware/ProbeAssessment.h"

#include <array>

#include "firmware/UserMessages.h"
#include "link/DeviceEnumeration.h"
#include "link/ProbeModels.h"

std::vector<USBDeviceInfo> selectProbes(const std::vector<USBDeviceInfo>& listing) {
    static const std::vector<int32_t> productIds = probeProductIds();
    return selectDevices(listing, probeVendorId, productIds);
}

ProbeAssessment assessProbe(const USBDeviceInfo& probe) {
    ProbeAssessment assessment{ProbeSituation::Unsupported, probe, nullptr};
    const FirmwareImage* row = findFirmwareImage(probe);
    if (!row)
        return assessment;
    assessment.row = row;
    const ProbeModel* model = findProbeModel(probe.productId);
    assessment.situation =
        model && updatableOverUsb(*model) ? ProbeSituation::Ready : ProbeSituation::NotUpdatable;
    return assessment;
}

ProbeAssessment assessProbes(const std::vector<USBDeviceInfo>& probes) {
    if (probes.empty())
        return {ProbeSituation::NoProbe, {}, nullptr};
    if (probes.size() > 1)
        return {ProbeSituation::SeveralProbes, {}, nullptr};
    return assessProbe(probes.front());
}

const char* situationMessage(ProbeSituation situation) {
    struct Sentence {
        ProbeSituation situation;
        const char* text;
    };
    static constexpr std::array<Sentence, 5> sentences{{
        {ProbeSituation::NoProbe, messages::noProbe},
        {ProbeSituation::SeveralProbes, messages::severalProbes},
        {ProbeSituation::Unsupported, messages::unsupported},
        {ProbeSituation::NotUpdatable, messages::notUpdatable},
        {ProbeSituation::Ready, messages::ready},
    }};
    for (const Sentence& sentence : sentences) {
        if (sentence.situation == situation)
            return sentence.text;
    }
    return messages::unsupported;
}
