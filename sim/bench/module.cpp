// The ORTAV module at register level. Time-dependent behaviour (relay, DAC and
// power settling, the EEPROM write cycle) is read from the shared clock, so a
// driver that does not wait sees what hardware would show:
// - a resistor whose code bit changed does not conduct until its relay has
//   settled (5 ms); a channel whose code changes is open for that time except
//   for the resistors that stay connected;
// - the current follows a DAC write after 1 ms (until then the old value), and
//   a source is dead for 1 ms after power-on;
// - the check bits of test mode read "failed" while anything they depend on settles;
// - the busy bits (4: channel 1, 5: channel 2) are set while that channel settles.
#include "bench.h"
#include "delay.h"
#include "eeprom.h"

#include <cmath>
#include <limits>

namespace ortav::sim {

namespace {

constexpr double kNever = -std::numeric_limits<double>::infinity();
constexpr double kNominalGain = 409400.0;
constexpr double kCheckTolerance = 0.25; // relative window of the module's check comparators

// A wait of exactly the settle time is enough (the clock sums doubles).
bool past(double since, double settle) {
    return clock::now() - since >= settle - 1e-9;
}

} // namespace

double nominalResistor(int hwVersion, int k) {
    // Version 2 boards carry other values in the top four positions.
    static constexpr double v2Top[4] = {306.88e3, 613.76e3, 1.215e6, 2.43e6};
    if (hwVersion == 2 && k >= 14 && k < kResistors)
        return v2Top[k - 14];
    return 18.75 * std::ldexp(1.0, k);
}

struct ChannelHw {
    uint32_t code = 0;
    std::array<double, kResistors> changedAt;
    uint16_t dac = 0;
    uint16_t prevDac = 0;
    double dacAt = kNever;
    bool powered = false;
    double powerAt = kNever;
    bool connected = false;
    bool armed = false;

    ChannelHw() { changedAt.fill(kNever); }
    uint16_t effectiveDac() const { return past(dacAt, kDacSettle) ? dac : prevDac; }
    bool relaysSettled() const {
        for (double t : changedAt)
            if (!past(t, kCodeSettle))
                return false;
        return true;
    }
    bool settled() const {
        return relaysSettled() && past(dacAt, kDacSettle) &&
               (!powered || past(powerAt, kPowerSettle));
    }
};

struct OrtavModule::Impl {
    ModuleConfig cfg;
    std::vector<uint8_t> mem;
    I2cEeprom eeprom;
    uint16_t ctrl = 0; // bits 0 (reset held) and 1 (test mode)
    uint16_t chan = 0; // bits 0..8 as written
    bool triggered = false;
    uint16_t dacLatch = 0, loLatch = 0, hiLatch = 0;
    uint16_t wp = 1;
    uint16_t version = 0;
    bool scl = true, sda = true;
    std::array<ChannelHw, kChannels> ch;
    double armedAt = -1.0;

    explicit Impl(ModuleConfig c)
        : cfg(std::move(c)), mem(cfg.eepromBytes), eeprom(mem, [this] { return (wp & 1) != 0; }) {
        mem.resize(kEepromSize, 0xFF);
        applyFaults();
    }

    void applyFaults() {
        eeprom.present = cfg.eeprom == EepromPresence::Present;
        eeprom.wpIgnored = cfg.faults.eepromWpIgnored;
    }

    uint16_t stuck(uint32_t offset, uint16_t v) const {
        for (const StuckBits &s : cfg.faults.stuck)
            if (s.offset == offset)
                v = s.level ? (v | s.mask) : (v & ~s.mask);
        return v;
    }

    bool fails(uint32_t offset, bool write) const {
        for (const AccessFault &f : cfg.faults.access)
            if (f.offset == offset && (write ? f.onWrite : f.onRead))
                return true;
        return false;
    }

    void powerUp() {
        const double now = clock::now();
        ctrl = 0;
        chan = 0;
        triggered = false;
        dacLatch = loLatch = hiLatch = 0;
        wp = 1;
        version = 0;
        scl = sda = true;
        armedAt = -1.0;
        for (ChannelHw &c : ch) {
            setCode(c, 0, now);
            c.prevDac = c.dac = 0;
            c.dacAt = kNever;
            c.powered = false;
            c.connected = c.armed = false;
        }
        eeprom.resetBus();
    }

    static void setCode(ChannelHw &c, uint32_t code, double now) {
        const uint32_t changed = (c.code ^ code) & 0x3FFFF;
        for (int k = 0; k < kResistors; ++k)
            if (changed & (1u << k))
                c.changedAt[k] = now;
        c.code = code & 0x3FFFF;
    }

    bool selected(int i) const { return chan & (0x10 << i); }

    double conductance(int i) const {
        const ChannelHw &c = ch[i];
        double g = 0.0;
        for (int k = 0; k < kResistors; ++k) {
            if (!(c.code & (1u << k)) || !past(c.changedAt[k], kCodeSettle) ||
                (cfg.faults.openResistors[i] & (1u << k)))
                continue;
            const double r = cfg.channel[i].resistor[k];
            if (r > 0)
                g += 1.0 / r;
        }
        return g;
    }

    double resistance(int i) const {
        const double g = conductance(i);
        return g > 0 ? cfg.channel[i].series + 1.0 / g : kOpenOhms;
    }

    double current(int i) const {
        const ChannelHw &c = ch[i];
        if (!c.powered || !past(c.powerAt, kPowerSettle) || cfg.faults.deadSource[i])
            return 0.0;
        const ChannelPhysics &p = cfg.channel[i];
        double amps = (c.effectiveDac() - p.offset) / p.gain;
        if (!(amps > 0))
            return 0.0;
        const double r = resistance(i);
        if (r >= kOpenOhms)
            return 0.0;
        if (amps * r > kCompliance)
            amps = kCompliance / r;
        return amps;
    }

    // Every resistor of the code conducts as its nominal value says, within the
    // comparator window; a channel with no resistor connected fails.
    bool resistorCheck() const {
        for (int i = 0; i < kChannels; ++i) {
            const ChannelHw &c = ch[i];
            if (c.code == 0 || !c.relaysSettled())
                return false;
            double nominal = 0.0;
            for (int k = 0; k < kResistors; ++k)
                if (c.code & (1u << k))
                    nominal += 1.0 / nominalResistor(cfg.hwVersion, k);
            if (std::fabs(conductance(i) / nominal - 1.0) > kCheckTolerance)
                return false;
        }
        return true;
    }

    // The source delivers about the current its DAC code asks for.
    bool currentCheck(int i) const {
        const ChannelHw &c = ch[i];
        if (!c.settled() || !c.powered)
            return false;
        const double wanted = c.dac / kNominalGain;
        if (wanted <= 0)
            return false;
        return std::fabs(current(i) / wanted - 1.0) <= kCheckTolerance;
    }

    uint16_t readCtrl() const {
        uint16_t v = ctrl & 0x3;
        for (int i = 0; i < kChannels; ++i)
            if (cfg.faults.busy || !ch[i].settled())
                v |= 0x10 << i;
        if (ctrl & 0x2) {
            if (resistorCheck())
                v |= 0x40;
            if (currentCheck(0))
                v |= 0x80;
            if (currentCheck(1))
                v |= 0x100;
        }
        return v;
    }

    uint16_t readChan() const {
        uint16_t v = chan & 0x1FF;
        for (int i = 0; i < kChannels; ++i)
            if (ch[i].connected)
                v |= 0x200 << i;
        if (triggered)
            v |= 0x800;
        return v;
    }

    void writeChan(uint16_t v) {
        const double now = clock::now();
        chan = v & 0x1FF;
        bool armedNow = false;
        for (int i = 0; i < kChannels; ++i) {
            ChannelHw &c = ch[i];
            const bool out = v & (1 << i);
            const bool power = v & (4 << i);
            if (power && !c.powered)
                c.powerAt = now;
            c.powered = power;
            if (!out || (v & 0x100)) {
                c.connected = c.armed = false;
                continue;
            }
            if (v & 0x40) {
                c.connected = true;
                c.armed = false;
            } else if ((v & 0x80) && !c.connected && !c.armed) {
                c.armed = true;
                armedNow = true;
            }
        }
        if (armedNow) {
            triggered = false;
            armedAt = now;
        }
        if (v & 0x100)
            triggered = false;
        if (!ch[0].armed && !ch[1].armed)
            armedAt = -1.0;
    }

    void trigger() {
        if (!ch[0].armed && !ch[1].armed)
            return;
        for (ChannelHw &c : ch)
            if (c.armed) {
                c.armed = false;
                c.connected = true;
            }
        triggered = true;
        armedAt = -1.0;
    }
};

OrtavModule::OrtavModule(ModuleConfig config) : d(std::make_unique<Impl>(std::move(config))) {}
OrtavModule::~OrtavModule() = default;

Access OrtavModule::read(uint32_t offset, uint16_t &value) {
    if ((offset & 1) || offset >= reg::WindowSize)
        return Access::BadOffset;
    if (d->fails(offset, false))
        return Access::Failed;
    uint16_t v = 0;
    switch (offset) {
    case reg::Id:
        v = d->cfg.faults.id ? *d->cfg.faults.id
                             : static_cast<uint16_t>(d->cfg.idHigh << 8 | kOrtavModel);
        break;
    case reg::Ctrl:
        v = d->readCtrl();
        break;
    case reg::Sda:
        v = d->eeprom.sdaLine() ? 0x0004 : 0;
        break;
    case reg::Scl:
        v = d->scl ? 0x0002 : 0;
        break;
    case reg::Chan:
        v = d->readChan();
        break;
    case reg::Dac:
        v = d->dacLatch;
        break;
    case reg::CodeLo:
        v = d->loLatch;
        break;
    case reg::CodeHi:
        v = d->hiLatch;
        break;
    case reg::Wp:
        v = d->wp;
        break;
    case reg::Version:
        v = d->cfg.hwVersion == 2 ? d->version : 0;
        break;
    default:
        break;
    }
    value = d->stuck(offset, v);
    return Access::Ok;
}

Access OrtavModule::write(uint32_t offset, uint16_t value) {
    if ((offset & 1) || offset >= reg::WindowSize)
        return Access::BadOffset;
    if (d->fails(offset, true))
        return Access::Failed;
    const uint16_t v = d->stuck(offset, value);
    // While the reset line is held only the control register listens.
    if ((d->ctrl & 1) && offset != reg::Ctrl)
        return Access::Ok;
    const double now = clock::now();
    switch (offset) {
    case reg::Ctrl:
        if (v & 1)
            d->powerUp();
        d->ctrl = v & 0x3;
        break;
    case reg::Sda:
        d->applyFaults();
        d->sda = v & 0x0004;
        d->eeprom.bus(d->scl, d->sda);
        break;
    case reg::Scl:
        d->applyFaults();
        d->scl = v & 0x0002;
        d->eeprom.bus(d->scl, d->sda);
        break;
    case reg::Chan:
        d->writeChan(v);
        break;
    case reg::Dac:
        d->dacLatch = v & 0x0FFF;
        for (int i = 0; i < kChannels; ++i)
            if (d->selected(i)) {
                ChannelHw &c = d->ch[i];
                c.prevDac = c.effectiveDac();
                c.dac = d->dacLatch;
                c.dacAt = now;
            }
        break;
    case reg::CodeLo:
        // Latched; the code reaches the relays with the high part.
        d->loLatch = v;
        break;
    case reg::CodeHi:
        d->hiLatch = v & 0x3;
        for (int i = 0; i < kChannels; ++i)
            if (d->selected(i))
                Impl::setCode(d->ch[i], uint32_t(d->hiLatch) << 16 | d->loLatch, now);
        break;
    case reg::Wp:
        d->wp = v & 1;
        break;
    case reg::Version:
        if (d->cfg.hwVersion == 2)
            d->version = v == 0xFFFF ? 1 : 0;
        break;
    default:
        break;
    }
    return Access::Ok;
}

void OrtavModule::reset() {
    d->powerUp();
}
void OrtavModule::trigger() {
    d->trigger();
}

const ModuleConfig &OrtavModule::config() const {
    return d->cfg;
}
// The caller may change physics and faults; the EEPROM picks them up at its next bus access.
ModuleConfig &OrtavModule::config() {
    return d->cfg;
}

ChannelState OrtavModule::channel(int ch) const {
    const ChannelHw &c = d->ch.at(ch - 1);
    ChannelState s;
    s.code = c.code;
    s.dac = c.dac;
    s.powered = c.powered;
    s.selected = d->selected(ch - 1);
    s.outputBit = d->chan & (1 << (ch - 1));
    s.connected = c.connected;
    s.settled = c.settled();
    return s;
}

uint16_t OrtavModule::registerLatch(uint32_t offset) const {
    switch (offset) {
    case reg::Ctrl:
        return d->ctrl;
    case reg::Sda:
        return d->sda ? 4 : 0;
    case reg::Scl:
        return d->scl ? 2 : 0;
    case reg::Chan:
        return d->chan;
    case reg::Dac:
        return d->dacLatch;
    case reg::CodeLo:
        return d->loLatch;
    case reg::CodeHi:
        return d->hiLatch;
    case reg::Wp:
        return d->wp;
    case reg::Version:
        return d->version;
    default:
        return 0;
    }
}

bool OrtavModule::testMode() const {
    return d->ctrl & 2;
}
bool OrtavModule::writeProtected() const {
    return d->wp & 1;
}
bool OrtavModule::eepromBusy() const {
    return d->eeprom.busy();
}
bool OrtavModule::armed() const {
    return d->ch[0].armed || d->ch[1].armed;
}
double OrtavModule::armedSince() const {
    return d->armedAt;
}

double OrtavModule::outputResistance(int ch) const {
    return d->resistance(ch - 1);
}
double OrtavModule::sourceCurrent(int ch) const {
    return d->current(ch - 1);
}
double OrtavModule::outputVoltage(int ch) const {
    const double i = d->current(ch - 1);
    return i > 0 ? i * d->resistance(ch - 1) : 0.0;
}
bool OrtavModule::outputConnected(int ch) const {
    return d->ch.at(ch - 1).connected;
}

const std::vector<uint8_t> &OrtavModule::eeprom() const {
    return d->mem;
}
std::vector<uint8_t> &OrtavModule::eeprom() {
    return d->mem;
}

} // namespace ortav::sim
