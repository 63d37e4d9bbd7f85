// Status texts, the error and revision queries.
#include <cstdio>
#include <cstring>

#include "internal.h"

namespace ortav::driver {

namespace {

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Longest prefix of text that fits in room bytes without splitting a character.
std::size_t fitting(std::string_view text, std::size_t room) {
    if (text.size() <= room)
        return text.size();
    std::size_t n = room;
    while (n > 0 && continuation(text[n]))
        --n;
    return n;
}

} // namespace

void putText(ViChar *dst, std::size_t size, std::string_view text) {
    if (size == 0)
        return;
    std::size_t n = fitting(text, size - 1);
    std::memcpy(dst, text.data(), n);
    dst[n] = '\0';
}

void appendText(ViChar *dst, std::size_t size, std::string_view text) {
    std::size_t used = strnlen(dst, size);
    if (used + 1 >= size)
        return;
    putText(dst + used, size - used, text);
}

std::string_view ownStatusText(ViStatus status, char (&scratch)[64]) {
    switch (status) {
    case ORTAV_WARN_INIT:
        return "Предупреждение : инициализация прошла с ошибками";
    case ORTAV_ERROR_SELF_TEST:
        return "Ошибка самоконтроля";
    case ORTAV_ERROR_INSTR:
        return "Произошла ошибка инструмента";
    case ORTAV_ERROR_CONFIG:
        return "Ошибка конфигурации";
    case ORTAV_ERROR_BUSY:
        return "Инструмент занят";
    case ORTAV_ERROR_COEFF:
        return "Ошибочные коэффициенты из РПЗУ";
    default:
        break;
    }
    if (status >= ORTAV_ERROR_REG && status < ORTAV_ERROR_REG + ORTAV_REG_SPAN) {
        int n = std::snprintf(scratch, sizeof scratch, "Ошибка в регистре %x",
                              static_cast<unsigned>(status - ORTAV_ERROR_REG));
        return {scratch, static_cast<std::size_t>(n)};
    }
    return {};
}

} // namespace ortav::driver

using namespace ortav::driver;

extern "C" {

ViStatus ortav_error_query(ViSession, ViInt32 *, ViChar[]) {
    return VI_WARN_NSUP_ERROR_QUERY;
}

ViStatus ortav_error_message(ViSession, ViStatus status, ViChar message[]) {
    if (message == nullptr)
        return VI_ERROR_PARAMETER3;
    char scratch[64];
    std::string_view own = ownStatusText(status, scratch);
    if (!own.empty()) {
        putText(message, ORTAV_MESSAGE_SIZE, own);
        return VI_SUCCESS;
    }
    if (failed(carrik_error_message(VI_NULL, status, message))) {
        putText(message, ORTAV_MESSAGE_SIZE, "Неизвестный код статуса");
        return VI_WARN_UNKNOWN_STATUS;
    }
    message[ORTAV_MESSAGE_SIZE - 1] = '\0';
    return VI_SUCCESS;
}

ViStatus ortav_revision_query(ViSession, ViChar driverRev[], ViChar instrRev[]) {
    if (driverRev == nullptr)
        return VI_ERROR_PARAMETER2;
    if (instrRev == nullptr)
        return VI_ERROR_PARAMETER3;
    putText(driverRev, ORTAV_MESSAGE_SIZE, "1.3.0");
    putText(instrRev, ORTAV_MESSAGE_SIZE, "<not available>");
    return VI_WARN_NSUP_REV_QUERY;
}

} // extern "C"
