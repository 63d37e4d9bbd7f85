// The carrier driver over the simulated bench. Carrier sessions are opened by
// resource string (one carrier may be open in several sessions); module sessions
// belong to one carrier session and one position, and end with it.
//
// As a real carrier driver does, it opens its carrier's resource through VISA
// (the simulated VISA library of this process) and hands out those sessions, so
// VISA calls on a carrier session (its slot, its crate's address) work. Each
// carrier session has a resource manager session of its own; its module
// sessions are VISA sessions of the same resource under it.
#include "carrik.h"
#include "carrik_status.h"
#include "simvisa.h"
#include "visa.h"

#include "bench.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

using namespace ortav::sim;

namespace {

struct Session {
    bool module = false;
    std::string resource;    // the carrier's resource
    ViSession rm = 0;        // carrier sessions: their resource manager session
    ViSession carrier = 0;   // module sessions: the carrier session
    int position = 0;        // module sessions: 1..4
    uint64_t generation = 0; // bench the session was opened on
    std::map<ViAttr, ViAttrState> attributes;
    ViInt16 triggerLine = 0;
    ViInt16 triggerMode = 0;
    ViInt16 triggerLength = 0;
};

// Keyed by the VISA session handed out.
std::map<ViSession, Session> &sessions() {
    static std::map<ViSession, Session> s;
    return s;
}

const ortav::simvisa::OwnFunctions &visa() {
    return ortav::simvisa::ownFunctions();
}

using Lock = std::lock_guard<std::recursive_mutex>;

// The session if it is open, of the wanted kind, and on the current bench.
ViStatus find(ViSession vi, bool module, Session *&out) {
    auto it = sessions().find(vi);
    if (it == sessions().end() || it->second.module != module)
        return VI_ERROR_INV_OBJECT;
    // A VISA session closed behind the driver's back is gone for it as well.
    ViUInt32 version = 0;
    if (visa().viGetAttribute(vi, VI_ATTR_RSRC_SPEC_VERSION, &version) == VI_ERROR_INV_OBJECT)
        return VI_ERROR_INV_OBJECT;
    if (it->second.generation != generation())
        return CARRIK_ERROR_STALE;
    out = &it->second;
    return VI_SUCCESS;
}

// The carrier and the position behind a module session.
ViStatus locate(ViSession vi, Session *&s, Carrier *&c) {
    if (ViStatus st = find(vi, true, s); st != VI_SUCCESS)
        return st;
    c = bench().findCarrier(s->resource);
    if (!c)
        return CARRIK_ERROR_STALE;
    c->poll();
    return VI_SUCCESS;
}

ViStatus accessStatus(Access a) {
    switch (a) {
    case Access::Ok:
        return VI_SUCCESS;
    case Access::Failed:
        return CARRIK_ERROR_BUS;
    case Access::BadOffset:
        return CARRIK_ERROR_OFFSET;
    }
    return CARRIK_ERROR_BUS;
}

void add(ViSession vi, Session s) {
    sessions().insert_or_assign(vi, std::move(s));
}

} // namespace

extern "C" {

ViStatus carrik_init(ViConstRsrc resource, ViBoolean idQuery, ViBoolean reset, ViSession *vi) {
    Lock lock(benchMutex());
    if (!resource)
        return VI_ERROR_PARAMETER1;
    if (idQuery > 1)
        return VI_ERROR_PARAMETER2;
    if (reset > 1)
        return VI_ERROR_PARAMETER3;
    if (!vi)
        return VI_ERROR_PARAMETER4;
    *vi = 0;
    Bench &b = bench();
    Resource *r = b.findResource(resource);
    if (!r || r->faults.openFails)
        return VI_ERROR_RSRC_NFOUND;
    ViSession rm = VI_NULL, carrier = VI_NULL;
    if (ViStatus st = visa().viOpenDefaultRM(&rm); st < VI_SUCCESS)
        return st;
    ViStatus st = visa().viOpen(rm, r->name.c_str(), VI_NULL, VI_NULL, &carrier);
    // A resource locked by another session or program does not let the driver
    // query or reset it.
    ViAccessMode held = VI_NO_LOCK;
    if (st >= VI_SUCCESS)
        st = visa().viGetAttribute(carrier, VI_ATTR_RSRC_LOCK_STATE, &held);
    if (st >= VI_SUCCESS && held != VI_NO_LOCK)
        st = VI_ERROR_RSRC_LOCKED;
    if (st >= VI_SUCCESS && r->faults.silent)
        st = VI_ERROR_TMO;
    Carrier *c = st >= VI_SUCCESS ? b.findCarrier(r->name) : nullptr;
    if (st >= VI_SUCCESS && !c)
        st = VI_ERROR_FAIL_ID_QUERY; // not a carrier: it cannot answer as one
    if (st < VI_SUCCESS) {
        visa().viClose(rm); // and the resource's session with it
        return st;
    }
    // The reset concerns the carrier's own logic (trigger set-up); its mezzanines
    // are reset only through their positions, so a second session on a carrier
    // leaves a module in use undisturbed.
    Session s;
    s.resource = c->resource;
    s.rm = rm;
    s.generation = generation();
    add(carrier, std::move(s));
    *vi = carrier;
    return VI_SUCCESS;
}

ViStatus carrik_close(ViSession vi) {
    Lock lock(benchMutex());
    auto &open = sessions();
    auto it = open.find(vi);
    if (it == open.end() || it->second.module)
        return VI_ERROR_INV_OBJECT;
    // Module sessions end with their carrier session; closing its resource
    // manager session closes their VISA sessions.
    visa().viClose(it->second.rm);
    open.erase(it);
    for (auto m = open.begin(); m != open.end();)
        m = m->second.module && m->second.carrier == vi ? open.erase(m) : std::next(m);
    return VI_SUCCESS;
}

ViStatus carrik_m_type_q(ViSession vi, ViInt16 position, ViInt16 *present, ViInt16 *model) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    if (ViStatus st = find(vi, false, s); st != VI_SUCCESS)
        return st;
    if (position < 1 || position > kPositions)
        return VI_ERROR_PARAMETER2;
    if (!present)
        return VI_ERROR_PARAMETER3;
    if (!model)
        return VI_ERROR_PARAMETER4;
    Carrier *c = bench().findCarrier(s->resource);
    if (!c)
        return CARRIK_ERROR_STALE;
    const Position &p = c->position(position);
    *present = p.present() ? 1 : 0;
    *model = static_cast<ViInt16>(p.type);
    return VI_SUCCESS;
}

ViStatus carrik_m_init(ViSession carrierVi, ViInt16 position, ViSession *vi) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    if (ViStatus st = find(carrierVi, false, s); st != VI_SUCCESS)
        return st;
    if (position < 1 || position > kPositions)
        return VI_ERROR_PARAMETER2;
    if (!vi)
        return VI_ERROR_PARAMETER3;
    *vi = 0;
    Carrier *c = bench().findCarrier(s->resource);
    if (!c)
        return CARRIK_ERROR_STALE;
    if (!c->position(position).present())
        return CARRIK_ERROR_NO_MEZZANINE;
    ViSession module = VI_NULL;
    if (ViStatus st = visa().viOpen(s->rm, s->resource.c_str(), VI_NULL, VI_NULL, &module);
        st < VI_SUCCESS)
        return st;
    Session m;
    m.module = true;
    m.resource = s->resource;
    m.carrier = carrierVi;
    m.position = position;
    m.generation = s->generation;
    add(module, std::move(m));
    *vi = module;
    return VI_SUCCESS;
}

ViStatus carrik_m_close(ViSession vi) {
    Lock lock(benchMutex());
    auto &open = sessions();
    auto it = open.find(vi);
    if (it == open.end() || !it->second.module)
        return VI_ERROR_INV_OBJECT;
    visa().viClose(vi);
    open.erase(it);
    return VI_SUCCESS;
}

ViStatus carrik_m_reset(ViSession vi, ViInt16 mode) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    if (mode != 0 && mode != 1)
        return VI_ERROR_PARAMETER2;
    if (mode == 1)
        if (OrtavModule *m = c->module(s->position))
            m->reset();
    return VI_SUCCESS;
}

ViStatus carrik_m_in16(ViSession vi, ViUInt32 offset, ViUInt16 *value) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    if (!value)
        return VI_ERROR_PARAMETER3;
    OrtavModule *m = c->module(s->position);
    if (!m) {
        // Other mezzanines are not modelled at register level.
        if ((offset & 1) || offset >= reg::WindowSize)
            return CARRIK_ERROR_OFFSET;
        *value = 0;
        return VI_SUCCESS;
    }
    uint16_t v = 0;
    const ViStatus st = accessStatus(m->read(offset, v));
    if (st == VI_SUCCESS)
        *value = v;
    return st;
}

ViStatus carrik_m_out16(ViSession vi, ViUInt32 offset, ViUInt16 value) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    OrtavModule *m = c->module(s->position);
    if (!m)
        return (offset & 1) || offset >= reg::WindowSize ? CARRIK_ERROR_OFFSET : VI_SUCCESS;
    return accessStatus(m->write(offset, value));
}

ViStatus carrik_m_set_attribute(ViSession vi, ViAttr attribute, ViAttrState value) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    // The carrier checks a declared type against the mezzanine fitted.
    if (attribute == ATTR_MODULE_TYPE && value != c->position(s->position).type)
        return CARRIK_ERROR_TYPE;
    s->attributes[attribute] = value;
    return VI_SUCCESS;
}

ViStatus carrik_m_get_attribute(ViSession vi, ViAttr attribute, ViAttrState *value) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    if (!value)
        return VI_ERROR_PARAMETER3;
    if (attribute == ATTR_MODULE_TYPE) {
        *value = c->position(s->position).type;
        return VI_SUCCESS;
    }
    auto it = s->attributes.find(attribute);
    if (it == s->attributes.end())
        return CARRIK_ERROR_ATTR;
    *value = it->second;
    return VI_SUCCESS;
}

ViStatus carrik_m_config_trigger(ViSession vi, ViInt16 line, ViInt16 mode) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    if (line < 0 || line > 7)
        return VI_ERROR_PARAMETER2;
    if (mode != 0 && mode != 1)
        return VI_ERROR_PARAMETER3;
    s->triggerLine = line;
    s->triggerMode = mode;
    return VI_SUCCESS;
}

ViStatus carrik_m_trig_length(ViSession vi, ViInt16 length) {
    Lock lock(benchMutex());
    Session *s = nullptr;
    Carrier *c = nullptr;
    if (ViStatus st = locate(vi, s, c); st != VI_SUCCESS)
        return st;
    if (length < 0)
        return VI_ERROR_PARAMETER2;
    s->triggerLength = length;
    return VI_SUCCESS;
}

ViStatus carrik_error_message(ViSession, ViStatus status, ViChar message[]) {
    if (!message)
        return VI_ERROR_PARAMETER3;
    static const struct {
        ViStatus status;
        const char *text;
    } texts[] = {
        {VI_SUCCESS, "Операция выполнена успешно"},
        {CARRIK_ERROR_NO_MEZZANINE, "Мезонин в указанной позиции не установлен"},
        {CARRIK_ERROR_BUS, "Ошибка обмена с мезонином"},
        {CARRIK_ERROR_OFFSET, "Недопустимое смещение регистра мезонина"},
        {CARRIK_ERROR_ATTR, "Атрибут сеанса не установлен"},
        {CARRIK_ERROR_TYPE, "Тип мезонина не совпадает с заданным"},
        {CARRIK_ERROR_STALE, "Сеанс относится к другой конфигурации стенда"},
        // The standard statuses an instrument driver passes on for its texts.
        {VI_ERROR_INV_OBJECT, "Неверный идентификатор сеанса"},
        {VI_ERROR_INV_SETUP, "Неверная настройка сеанса"},
        {VI_ERROR_ALLOC, "Недостаточно памяти"},
        {VI_ERROR_SYSTEM_ERROR, "Системная ошибка"},
        {VI_ERROR_IO, "Ошибка ввода-вывода"},
        {VI_ERROR_RSRC_NFOUND, "Ресурс не найден"},
        {VI_ERROR_RSRC_LOCKED, "Ресурс заблокирован другим сеансом"},
        {VI_ERROR_TMO, "Истекло время ожидания ответа"},
        {VI_ERROR_FAIL_ID_QUERY, "Ошибка запроса идентификации"},
        {VI_ERROR_INV_RESPONSE, "Неверный ответ прибора"},
        {VI_ERROR_PARAMETER1, "Ошибка в параметре 1"},
        {VI_ERROR_PARAMETER2, "Ошибка в параметре 2"},
        {VI_ERROR_PARAMETER3, "Ошибка в параметре 3"},
        {VI_ERROR_PARAMETER4, "Ошибка в параметре 4"},
        {VI_ERROR_PARAMETER5, "Ошибка в параметре 5"},
        {VI_ERROR_PARAMETER6, "Ошибка в параметре 6"},
        {VI_ERROR_PARAMETER7, "Ошибка в параметре 7"},
        {VI_ERROR_PARAMETER8, "Ошибка в параметре 8"},
        {VI_WARN_NSUP_ID_QUERY, "Запрос идентификации не поддерживается"},
        {VI_WARN_NSUP_RESET, "Сброс не поддерживается"},
        {VI_WARN_NSUP_SELF_TEST, "Самоконтроль не поддерживается"},
        {VI_WARN_NSUP_ERROR_QUERY, "Запрос ошибки не поддерживается"},
        {VI_WARN_NSUP_REV_QUERY, "Запрос версии не поддерживается"},
    };
    for (const auto &t : texts)
        if (t.status == status) {
            std::snprintf(message, 256, "%s", t.text);
            return VI_SUCCESS;
        }
    message[0] = '\0';
    return VI_ERROR_PARAMETER2;
}

} // extern "C"
