// The shared multimeter model (see meter.h).
#include "meter.h"

#include "delay.h"
#include "visa.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>

using namespace ortav::sim;

namespace ortav::simdmm {

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

int index(Function f) {
    switch (f) {
    case Function::VoltDc:
        return 0;
    case Function::CurrDc:
        return 1;
    default:
        return 2;
    }
}

Quantity quantity(Function f) {
    switch (f) {
    case Function::VoltDc:
        return Quantity::Voltage;
    case Function::CurrDc:
        return Quantity::Current;
    default:
        return Quantity::Resistance;
    }
}

// The ranges every simulated meter offers, per quantity.
constexpr std::array<std::array<double, 7>, 3> kRanges = {{
    {0.1, 1.0, 10.0, 100.0, 1000.0, 1000.0, 1000.0},
    {1.0e-3, 1.0e-2, 0.1, 1.0, 3.0, 3.0, 3.0},
    {100.0, 1.0e3, 1.0e4, 1.0e5, 1.0e6, 1.0e7, 1.0e8},
}};
// A range reads up to 120 % of its nominal value.
constexpr double kOverrange = 1.2;

// Noise: normal, cut at three standard deviations so that readings stay bounded.
double noiseFactor(double relative) {
    static std::mt19937_64 engine(0x6D6D);
    static std::normal_distribution<double> normal;
    if (relative <= 0)
        return 1.0;
    return 1.0 + relative * std::clamp(normal(engine), -3.0, 3.0);
}

void copyText(const char *text, ViChar out[]) {
    size_t n = std::strlen(text);
    if (n > 255) {
        n = 255;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n; // never cut a character in two
    }
    std::memcpy(out, text, n);
    out[n] = '\0';
}

} // namespace

Function makerFunction(ViInt32 code) {
    switch (code) {
    case 7:
        return Function::CurrDc;
    case 5:
        return Function::VoltDc;
    case 2:
        return Function::Fres;
    default:
        return Function::None;
    }
}

Meter::Meter(MultimeterKind kind, ViSession firstHandle, Function resetFunction)
    : kind_(kind), resetFunction_(resetFunction), next_(firstHandle) {}

template <typename Change> ViStatus Meter::withSettings(ViSession vi, Change change) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    if (ViStatus st = find(vi, s); st != VI_SUCCESS)
        return st;
    return change(s->settings);
}

ViStatus Meter::find(ViSession vi, Session *&s) {
    auto it = sessions_.find(vi);
    if (it == sessions_.end())
        return VI_ERROR_INV_OBJECT;
    if (it->second.generation != generation())
        return DMM_ERROR_STALE;
    s = &it->second;
    return VI_SUCCESS;
}

ViStatus Meter::init(ViConstRsrc resource, ViInt32, ViInt32, ViSession *vi) {
    Lock lock(benchMutex());
    if (!vi)
        return VI_ERROR_PARAMETER4;
    *vi = VI_NULL;
    if (!resource)
        return VI_ERROR_PARAMETER1;
    Bench &b = bench();
    const Resource *r = b.findResource(resource);
    if (!r || r->faults.openFails)
        return VI_ERROR_RSRC_NFOUND;
    if (r->lockedByOther())
        return VI_ERROR_RSRC_LOCKED;
    const Multimeter *m = b.findMultimeter(kind_, resource);
    if (r->faults.silent) {
        lock.unlock();
        ortav::clock::waitNow(kDefaultTimeout);
        return VI_ERROR_TMO;
    }
    if (!m)
        return VI_ERROR_FAIL_ID_QUERY;
    Session s;
    s.resource = m->resource;
    s.connected = kind_ != MultimeterKind::Tarnel;
    s.generation = generation();
    s.settings.function = resetFunction_;
    *vi = next_++;
    sessions_[*vi] = s;
    return VI_SUCCESS;
}

ViStatus Meter::connect(ViSession vi, ViSession carrier, ViInt32 position) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    if (ViStatus st = find(vi, s); st != VI_SUCCESS)
        return st;
    if (carrier == VI_NULL)
        return VI_ERROR_PARAMETER2;
    if (position < 1 || position > kPositions)
        return VI_ERROR_PARAMETER3;
    if (!bench().findMultimeter(kind_, s->resource, position))
        return DMM_ERROR_NO_MEZZANINE;
    s->position = position;
    s->connected = true;
    return VI_SUCCESS;
}

ViStatus Meter::close(ViSession vi) {
    Lock lock(benchMutex());
    return sessions_.erase(vi) ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}

ViStatus Meter::reset(ViSession vi) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        set = Settings{};
        set.function = resetFunction_;
        return VI_SUCCESS;
    });
}

ViStatus Meter::setRange(ViSession vi, Function f, ViInt32 autoRange, ViReal64 range) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (!(range > 0))
            return VI_ERROR_PARAMETER3;
        const auto &ranges = kRanges[index(f)];
        ViStatus status = VI_SUCCESS;
        double chosen = ranges.back();
        if (range > ranges.back() * (1 + 1e-9))
            status = DMM_WARN_RANGE_LIMITED;
        else
            chosen = *std::find_if(ranges.begin(), ranges.end(),
                                   [range](double r) { return r >= range * (1 - 1e-9); });
        set.range[index(f)] = chosen;
        set.autoRange[index(f)] = autoRange != 0;
        return status;
    });
}

ViStatus Meter::setNplc(ViSession vi, Function f, ViReal64 nplc) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (!(nplc > 0 && nplc <= 1000))
            return VI_ERROR_PARAMETER2;
        if (f == Function::None)
            std::fill(std::begin(set.nplc), std::end(set.nplc), nplc);
        else
            set.nplc[index(f)] = nplc;
        return VI_SUCCESS;
    });
}

ViStatus Meter::select(ViSession vi, Function f) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (f == Function::None)
            return VI_ERROR_PARAMETER2;
        set.function = f;
        return VI_SUCCESS;
    });
}

ViStatus Meter::configure(ViSession vi, Function f) {
    return select(vi, f);
}

ViStatus Meter::reconfigure(ViSession vi) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        return set.function == Function::None ? DMM_ERROR_NO_FUNCTION : VI_SUCCESS;
    });
}

ViStatus Meter::triggerCount(ViSession vi, ViInt32 count) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (count < 1 || count > 1000)
            return VI_ERROR_PARAMETER2;
        set.triggerCount = count;
        return VI_SUCCESS;
    });
}

ViStatus Meter::triggerDelay(ViSession vi, ViInt32, ViReal64 delay) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (!(delay >= 0 && delay <= 3600))
            return VI_ERROR_PARAMETER3;
        set.triggerDelay = delay;
        return VI_SUCCESS;
    });
}

ViStatus Meter::triggerSource(ViSession vi, ViInt32 source) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (source < 0 || source > 7)
            return VI_ERROR_PARAMETER2;
        set.triggerSource = source;
        return VI_SUCCESS;
    });
}

ViStatus Meter::initiate(ViSession vi) {
    return withSettings(vi, [&](Settings &set) -> ViStatus {
        if (set.function == Function::None)
            return DMM_ERROR_NO_FUNCTION;
        set.initiated = true;
        return VI_SUCCESS;
    });
}

// count readings of function f, each after its integration time; the bench is
// read at the end of each integration, the way a meter averages up to then.
ViStatus Meter::take(ViSession vi, Function f, int count, double timeout, ViReal64 readings[]) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    if (ViStatus st = find(vi, s); st != VI_SUCCESS)
        return st;
    if (!s->connected)
        return DMM_ERROR_NOT_CONNECTED;
    const Settings set = s->settings;
    const int q = index(f);
    const Multimeter *meter = bench().findMultimeter(kind_, s->resource, s->position);
    const double each =
        meter && meter->instant ? 0.0 : set.triggerDelay + set.nplc[q] * kPowerLineCycle;
    const Resource *r = bench().findResource(s->resource);
    const bool answers = r && !r->faults.silent && set.triggerSource == 0;
    if (!answers || each * count > timeout) {
        lock.unlock();
        ortav::clock::waitNow(timeout);
        return VI_ERROR_TMO;
    }
    ViStatus status = VI_SUCCESS;
    for (int i = 0; i < count; ++i) {
        lock.unlock();
        ortav::clock::waitNow(each);
        lock.lock();
        if (find(vi, s) != VI_SUCCESS)
            return DMM_ERROR_STALE; // closed or the bench replaced meanwhile
        const Multimeter *m = bench().findMultimeter(kind_, s->resource, s->position);
        if (!m)
            return DMM_ERROR_STALE;
        const LeadView v = bench().leads(*m);
        double value = quantity(f) == Quantity::Voltage   ? v.voltage
                       : quantity(f) == Quantity::Current ? v.current
                                                          : v.resistance;
        if (!(quantity(f) == Quantity::Resistance && !v.connected))
            value *= noiseFactor(m->noise);
        // Fixed range: that one; auto range: the smallest that holds the value.
        double limit = set.range[q] * kOverrange;
        if (set.autoRange[q])
            limit = kRanges[q].back() * kOverrange;
        if (!(std::fabs(value) <= limit)) {
            value = kOverloadReading;
            status = DMM_ERROR_OVERLOAD;
        }
        readings[i] = value;
    }
    return status;
}

ViStatus Meter::fetch(ViSession vi, double timeoutSeconds, ViReal64 readings[], ViInt32 *count) {
    Function f = Function::None;
    int n = 0;
    const ViStatus claimed = withSettings(vi, [&](Settings &set) -> ViStatus {
        if (!readings || !count)
            return !readings ? VI_ERROR_PARAMETER3 : VI_ERROR_PARAMETER4;
        if (!set.initiated)
            return DMM_ERROR_NOT_INITIATED;
        set.initiated = false;
        f = set.function;
        n = set.triggerCount;
        *count = 0;
        return VI_SUCCESS;
    });
    if (claimed != VI_SUCCESS)
        return claimed;
    const ViStatus st = take(vi, f, n, timeoutSeconds, readings);
    if (st == VI_SUCCESS || st == DMM_ERROR_OVERLOAD)
        *count = n;
    return st;
}

ViStatus Meter::measure(ViSession vi, Function f, bool needConfigured, ViReal64 *reading) {
    const ViStatus st = withSettings(vi, [&](Settings &set) -> ViStatus {
        if (f == Function::None)
            return VI_ERROR_PARAMETER2;
        if (!reading)
            return VI_ERROR_PARAMETER3;
        if (needConfigured && set.function != f)
            return DMM_ERROR_NO_FUNCTION;
        set.function = f;
        return VI_SUCCESS;
    });
    return st != VI_SUCCESS ? st : take(vi, f, 1, kDefaultTimeout, reading);
}

ViStatus Meter::read(ViSession vi, ViInt32 *count, ViReal64 readings[]) {
    Function f = Function::None;
    int n = 0;
    const ViStatus claimed = withSettings(vi, [&](Settings &set) -> ViStatus {
        if (!count || !readings)
            return !count ? VI_ERROR_PARAMETER2 : VI_ERROR_PARAMETER3;
        *count = 0;
        if (set.function == Function::None)
            return DMM_ERROR_NO_FUNCTION;
        f = set.function;
        n = set.triggerCount;
        return VI_SUCCESS;
    });
    if (claimed != VI_SUCCESS)
        return claimed;
    const ViStatus st = take(vi, f, n, kDefaultTimeout * n, readings);
    if (st == VI_SUCCESS || st == DMM_ERROR_OVERLOAD)
        *count = n;
    return st;
}

ViStatus Meter::errorMessage(ViStatus status, ViChar message[]) {
    if (!message)
        return VI_ERROR_PARAMETER3;
    const char *text = nullptr;
    switch (status) {
    case VI_SUCCESS:
        text = "Успешное завершение";
        break;
    case DMM_ERROR_OVERLOAD:
        text = "Перегрузка: измеряемая величина вне предела измерения";
        break;
    case DMM_ERROR_NO_FUNCTION:
        text = "Функция измерения не настроена";
        break;
    case DMM_ERROR_NOT_CONNECTED:
        text = "Мультиметр не подключен к носителю";
        break;
    case DMM_ERROR_STALE:
        text = "Стенд заменен: сеанс мультиметра недействителен";
        break;
    case DMM_ERROR_NOT_INITIATED:
        text = "Измерение не запущено";
        break;
    case DMM_ERROR_NO_MEZZANINE:
        text = "На этой позиции носителя нет мезонинного мультиметра";
        break;
    case DMM_WARN_RANGE_LIMITED:
        text = "Предел измерения ограничен наибольшим";
        break;
    case VI_ERROR_TMO:
        text = "Мультиметр не ответил за отведенное время";
        break;
    case VI_ERROR_INV_OBJECT:
        text = "Неверный сеанс мультиметра";
        break;
    case VI_ERROR_RSRC_NFOUND:
        text = "Ресурс не найден";
        break;
    case VI_ERROR_RSRC_LOCKED:
        text = "Ресурс занят другой программой";
        break;
    case VI_ERROR_FAIL_ID_QUERY:
        text = "По этому адресу нет мультиметра этой модели";
        break;
    case VI_ERROR_PARAMETER1:
    case VI_ERROR_PARAMETER2:
    case VI_ERROR_PARAMETER3:
    case VI_ERROR_PARAMETER4:
    case VI_ERROR_PARAMETER5: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Недопустимое значение параметра %d",
                      static_cast<int>(status - VI_ERROR_PARAMETER1) + 1);
        copyText(buf, message);
        return VI_SUCCESS;
    }
    default: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "Неизвестный код состояния 0x%08X",
                      static_cast<unsigned>(status));
        copyText(buf, message);
        return VI_WARN_UNKNOWN_STATUS;
    }
    }
    copyText(text, message);
    return VI_SUCCESS;
}

} // namespace ortav::simdmm
