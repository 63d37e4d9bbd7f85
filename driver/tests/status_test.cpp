// Status texts and the transition code: tables of cases.
#include <cstring>
#include <string>

#include "fake_fixture.h"

using namespace drvtest;
using ortav::driver::TransCod;

namespace {

struct TextCase {
    ViStatus status;
    const char *text;
};

TEST(StatusText, OwnCodesHaveTheirTexts) {
    const TextCase cases[] = {
        {ORTAV_WARN_INIT, "Предупреждение : инициализация прошла с ошибками"},
        {ORTAV_ERROR_SELF_TEST, "Ошибка самоконтроля"},
        {ORTAV_ERROR_INSTR, "Произошла ошибка инструмента"},
        {ORTAV_ERROR_CONFIG, "Ошибка конфигурации"},
        {ORTAV_ERROR_BUSY, "Инструмент занят"},
        {ORTAV_ERROR_COEFF, "Ошибочные коэффициенты из РПЗУ"},
        {static_cast<ViStatus>(0xBFFC0C64u), "Ошибка в регистре 0"},
        {static_cast<ViStatus>(0xBFFC0C6Eu), "Ошибка в регистре a"},
        {static_cast<ViStatus>(0xBFFC0CA3u), "Ошибка в регистре 3f"},
    };
    fake::reset();
    for (const TextCase &c : cases) {
        char message[256];
        std::memset(message, 'x', sizeof message);
        EXPECT_EQ(ortav_error_message(0, c.status, message), VI_SUCCESS) << std::hex << c.status;
        EXPECT_STREQ(message, c.text) << std::hex << c.status;
    }
}

TEST(StatusText, OtherCodesAskTheCarrierDriver) {
    fake::reset();
    const ViStatus carrierCodes[] = {static_cast<ViStatus>(0xBFFC0CA4u),
                                     static_cast<ViStatus>(0xBFFC0C01u), VI_ERROR_TMO, 0};
    for (ViStatus s : carrierCodes)
        fake::carrier().texts[s] = "carrier text " + std::to_string(s);
    for (ViStatus s : carrierCodes) {
        char message[256] = {};
        EXPECT_EQ(ortav_error_message(0, s, message), VI_SUCCESS);
        EXPECT_EQ(std::string(message), "carrier text " + std::to_string(s));
    }
    char message[256] = {};
    EXPECT_EQ(ortav_error_message(0, static_cast<ViStatus>(0xBFFC0C05u), message),
              VI_WARN_UNKNOWN_STATUS);
    EXPECT_STREQ(message, "Неизвестный код статуса");
}

TEST(StatusText, NullBufferIsRefused) {
    EXPECT_EQ(ortav_error_message(0, ORTAV_ERROR_COEFF, nullptr), VI_ERROR_PARAMETER3);
}

TEST(StatusText, QueriesNotSupported) {
    ViInt32 code = 77;
    char message[256] = "untouched";
    EXPECT_EQ(ortav_error_query(0, &code, message), VI_WARN_NSUP_ERROR_QUERY);
    EXPECT_EQ(code, 77);
    EXPECT_STREQ(message, "untouched");
    char driverRev[256], instrRev[256];
    EXPECT_EQ(ortav_revision_query(0, driverRev, instrRev), VI_WARN_NSUP_REV_QUERY);
    EXPECT_STREQ(driverRev, "1.3.0");
    EXPECT_STREQ(instrRev, "<not available>");
}

TEST(StatusText, CutOnCharacterBoundary) {
    char buf[8];
    ortav::driver::putText(buf, sizeof buf, "Ошибка"); // 12 bytes: 3 characters fit
    EXPECT_STREQ(buf, "Оши");
    char small[16] = "ab";
    ortav::driver::appendText(small, sizeof small, "ЖЖЖЖЖЖЖЖ");
    EXPECT_STREQ(small, "abЖЖЖЖЖЖ");
}

struct TransCase {
    std::int32_t oldCode, newCode, transition;
};

TEST(TransCod, Table) {
    const TransCase cases[] = {
        {0x00001, 0x00002, 0x00003}, // falling at bit 0: both connected on the way
        {0x00002, 0x00001, 0x3FFF8}, // rising, nothing common above: bits 3..17
        {0x00006, 0x00005, 0x00004}, // rising: the common bit above d
        {0x00001, 0x00000, 0x00001}, // falling to nothing
        {0x0000B, 0x0000D, 0x0000F}, // falling at bit 1
        {0x00000, 0x00018, 0x3FFC0}, // rising at bit 3: bits 6..17
        {0x00000, 0x08000, 0x00000}, // rising at bit 15: nothing above bit 17 to set
        {0x20000, 0x00000, 0x3FFFF}, // falling at bit 17
        {0x18000, 0x28000, 0x3FFFF}, // falling at bit 16, bit 17 set in new
        {0x2000A, 0x20006, 0x20000}, // rising at bit 2, bit 17 common
        {0x10003, 0x20005, 0x30007}, // falling at bit 1, bits above from old or new
        // Codes equal on the module's 18 bits (resistor 0 of calibration sets
        // bit 31): nothing changes, the code itself.
        {static_cast<std::int32_t>(0x80000000u), 0x00000, 0x00000},
        {0x40005, 0x00005, 0x00005},
    };
    for (const TransCase &c : cases)
        EXPECT_EQ(TransCod(c.oldCode, c.newCode), c.transition)
            << std::hex << c.oldCode << " -> " << c.newCode;
}

} // namespace
