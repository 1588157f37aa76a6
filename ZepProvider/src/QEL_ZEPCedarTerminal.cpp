#include "QEL_ZEPCedarTerminal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

// The cached Cedar terminals by hardware address, so that the Cedar
// address rule costs a lookup rather than a walk over the whole cache each
// time a terminal is added. Not locked itself: it is changed and read under
// the class lock only, as the terminals it lists are.
class HardwareAddressIndex {
public:
    void add(const unsigned char* mac, QEL_ZEPCedarTerminalImpl* terminal) { holders_.emplace(key(mac), terminal); }

    void remove(const unsigned char* mac, QEL_ZEPCedarTerminalImpl* terminal) {
        auto range = holders_.equal_range(key(mac));
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second == terminal) {
                holders_.erase(it);
                return;
            }
        }
    }

    // The terminals holding mac, in the order the registry iterates
    // (ascending instance name, that is DeviceID, since the rest is common).
    std::vector<QEL_ZEPCedarTerminalImpl*> holding(const unsigned char* mac) const {
        std::vector<QEL_ZEPCedarTerminalImpl*> found;
        auto range = holders_.equal_range(key(mac));
        for (auto it = range.first; it != range.second; ++it) found.push_back(it->second);
        if (found.size() > 1) {
            std::sort(found.begin(), found.end(), [](const QEL_ZEPCedarTerminalImpl* a, const QEL_ZEPCedarTerminalImpl* b) {
                std::string idA, idB;
                zep::Qualifiers qualifiers;
                a->getDeviceID(idA, qualifiers);
                b->getDeviceID(idB, qualifiers);
                return idA < idB;
            });
        }
        return found;
    }

private:
    static uint64_t key(const unsigned char* mac) {
        uint64_t k = 0;
        for (size_t i = 0; i < sZepIPSetTableGet::kHWIDSize; ++i) k = (k << 8) | mac[i];
        return k;
    }

    std::unordered_multimap<uint64_t, QEL_ZEPCedarTerminalImpl*> holders_;
};

// Never destroyed: the gateway link's tasks may deliver events until the
// process ends, after static objects are gone.
HardwareAddressIndex& byHardwareAddress() {
    static auto* index = new HardwareAddressIndex;
    return *index;
}

}  // namespace

QEL_ZEPCedarTerminalImpl::QEL_ZEPCedarTerminalImpl(const sZepIPSetTableGet& record) : TerminalImpl(record) {
    byHardwareAddress().add(hardwareAddress(), this);
}

QEL_ZEPCedarTerminalImpl::~QEL_ZEPCedarTerminalImpl() { byHardwareAddress().remove(hardwareAddress(), this); }

void QEL_ZEPCedarTerminalImpl::UpdateData(const sZepIPSetTableGet& newRecord) {
    const sZepIPSetTableGet::HWIDBytes before = record().getHWID();
    TerminalImpl::UpdateData(newRecord);
    if (record().getHWID() != before) {
        byHardwareAddress().remove(before.data(), this);
        byHardwareAddress().add(hardwareAddress(), this);
    }
}

std::vector<QEL_ZEPCedarTerminalImpl*> QEL_ZEPCedarTerminalImpl::holdersOf(const unsigned char* mac) {
    return byHardwareAddress().holding(mac);
}

void QEL_ZEPCedarTerminalImplInstanceManager::DeleteInstancesByMacAddress(unsigned char* mac) {
    // 00-00-00-00-00-00 is what a terminal reports while its address is not
    // known: it names no terminal, so it conflicts with none. (Taken as an
    // address, every such terminal would evict the one before it, though the
    // gateway still has them all.)
    static const unsigned char kUnknown[6] = {0, 0, 0, 0, 0, 0};
    if (std::memcmp(mac, kUnknown, sizeof kUnknown) == 0) return;
    QEL_ZEPCedarTerminalImplInstanceManager* registry = s_this.load();
    if (registry == 0) return;
    zep::RegistryLock<QEL_ZEPCedarTerminalImplInstanceManager> lock(*registry);
    // Same terminals, same order as a walk over the registry comparing each
    // one's address, without the walk.
    for (QEL_ZEPCedarTerminalImpl* holder : QEL_ZEPCedarTerminalImpl::holdersOf(mac)) {
        if (!holder->compareMacAddress(mac)) continue;
        unsigned int dn = 0;
        zep::Qualifiers qualifiers;
        holder->getDN(dn, qualifiers);
        zep::logTerminalLine(QEL_ZEPCedarTerminalClass::kAddressConflict, zep::logDN(dn));
        delete holder;
    }
}

void QEL_ZEPCedarTerminalImplInstanceManager::beforeAddingTerminal(QEL_ZEPCedarTerminalImplInstanceManager&,
                                                                    const sZepIPSetTableGet& record) {
    sZepIPSetTableGet::HWIDBytes mac = record.getHWID();
    DeleteInstancesByMacAddress(mac.data());
}
