// A carrier session is a VISA session of the carrier's resource: the program asks
// VISA for its crate's address and slot through the VISA library it loaded by
// name, which is the same simulated library the carrier driver opened it with.
#include "bench.h"
#include "carrik.h"
#include "delay.h"
#include "simvisa.h"
#include "visa.h"
#include "visa_library.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

using namespace ortav::sim;

const char *kBench = R"(
name: carrier sessions
resources:
  - {name: VXI0::8::INSTR, slot: 3, manufacturer: 0xC5B, model: 0x10D, mainframe_la: 0x20}
  - {name: USB0::0x0C5B::0x1004::K1::INSTR, idn: "KORDAVELIN,CARRIK,K1,1.0"}
carriers:
  - resource: VXI0::8::INSTR
    positions: {1: ortav}
  - resource: USB0::0x0C5B::0x1004::K1::INSTR
    positions: [ortav]
)";

class CarrierVisa : public ::testing::Test {
protected:
    void SetUp() override {
        ortav::clock::setVirtual(true);
        // Loaded by name, as the program loads it.
        ASSERT_TRUE(ortav::visa::configure(ortav::visa::kSimulatedLibrary)) << ortav::visa::error();
        ASSERT_TRUE(ortav::visa::isSimulated());
        loadString(kBench, "carriers.yaml");
    }
};

TEST_F(CarrierVisa, CarrierSessionAnswersItsResourceAttributes) {
    ViSession car = 0, mod = 0;
    ASSERT_EQ(carrik_init("vxi0::8::instr", 1, 1, &car), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(car, 1, &mod), VI_SUCCESS);
    ViInt16 la = -1, slot = -1, vxiLa = -1;
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_MAINFRAME_LA, &la), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_SLOT, &slot), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_VXI_LA, &vxiLa), VI_SUCCESS);
    EXPECT_EQ(la, 0x20);
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(vxiLa, 8);
    ViUInt16 intf = 0, maker = 0, model = 0;
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_INTF_TYPE, &intf), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_MANF_ID, &maker), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_MODEL_CODE, &model), VI_SUCCESS);
    EXPECT_EQ(intf, VI_INTF_VXI);
    EXPECT_EQ(maker, 0xC5B);
    EXPECT_EQ(model, 0x10D);
    char name[256] = {};
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_RSRC_NAME, name), VI_SUCCESS);
    EXPECT_EQ(std::string(name), "VXI0::8::INSTR");
    // A module session is reached through the same resource.
    ViInt16 modSlot = -1;
    EXPECT_EQ(viGetAttribute(mod, VI_ATTR_SLOT, &modSlot), VI_SUCCESS);
    EXPECT_EQ(modSlot, 3);

    // Closing the carrier closes its VISA sessions, its modules' too.
    EXPECT_EQ(carrik_close(car), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_SLOT, &slot), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viGetAttribute(mod, VI_ATTR_SLOT, &slot), VI_ERROR_INV_OBJECT);
}

// This program exports functions of the standard names (its forwarders); the
// driver must still reach the simulated library's own.
TEST_F(CarrierVisa, DriverReachesTheSimulatedLibraryNotTheProgramsForwarders) {
    const ortav::simvisa::OwnFunctions &own = ortav::simvisa::ownFunctions();
    for (void *f :
         {reinterpret_cast<void *>(own.viOpenDefaultRM), reinterpret_cast<void *>(own.viOpen),
          reinterpret_cast<void *>(own.viClose), reinterpret_cast<void *>(own.viGetAttribute)}) {
        Dl_info info{};
        ASSERT_NE(dladdr(f, &info), 0);
        EXPECT_EQ(ortav::visa::libraryPath(), info.dli_fname);
    }
}

TEST_F(CarrierVisa, UsbBoxSessionHasNoCrateAddressOrSlot) {
    ViSession car = 0;
    ASSERT_EQ(carrik_init("USB0::0x0C5B::0x1004::K1::INSTR", 1, 1, &car), VI_SUCCESS);
    ViUInt16 intf = 0;
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_INTF_TYPE, &intf), VI_SUCCESS);
    EXPECT_EQ(intf, VI_INTF_USB);
    ViInt16 la = 77, slot = 77;
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_MAINFRAME_LA, &la), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(viGetAttribute(car, VI_ATTR_SLOT, &slot), VI_ERROR_NSUP_ATTR);
    EXPECT_EQ(la, 77);
    EXPECT_EQ(slot, 77);
    EXPECT_EQ(carrik_close(car), VI_SUCCESS);
}

TEST_F(CarrierVisa, SessionsOfOneCarrierAreDistinctAndCloseAlone) {
    ViSession first = 0, second = 0, mod = 0;
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &first), VI_SUCCESS);
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &second), VI_SUCCESS);
    ASSERT_EQ(carrik_m_init(second, 1, &mod), VI_SUCCESS);
    EXPECT_NE(first, second);
    EXPECT_EQ(carrik_close(first), VI_SUCCESS);
    ViInt16 slot = -1;
    EXPECT_EQ(viGetAttribute(second, VI_ATTR_SLOT, &slot), VI_SUCCESS);
    EXPECT_EQ(slot, 3);
    ViUInt16 id = 0;
    EXPECT_EQ(carrik_m_in16(mod, reg::Id, &id), VI_SUCCESS);
    EXPECT_EQ(id, 15);
    // The module session ends alone, as a VISA session too.
    EXPECT_EQ(carrik_m_close(mod), VI_SUCCESS);
    EXPECT_EQ(viGetAttribute(mod, VI_ATTR_SLOT, &slot), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(viGetAttribute(second, VI_ATTR_SLOT, &slot), VI_SUCCESS);

    // A session closed through VISA is gone for the driver as well; the driver
    // still releases what it holds.
    EXPECT_EQ(viClose(second), VI_SUCCESS);
    ViInt16 present = 0, type = 0;
    EXPECT_EQ(carrik_m_type_q(second, 1, &present, &type), VI_ERROR_INV_OBJECT);
    EXPECT_EQ(carrik_close(second), VI_SUCCESS);
    EXPECT_EQ(carrik_close(second), VI_ERROR_INV_OBJECT);
}

TEST_F(CarrierVisa, CarrierLockedByAnotherSessionDoesNotOpen) {
    ViSession rm = 0, holder = 0, car = 77;
    ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm, "VXI0::8::INSTR", VI_EXCLUSIVE_LOCK, 0, &holder), VI_SUCCESS);
    EXPECT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_ERROR_RSRC_LOCKED);
    EXPECT_EQ(car, 0u);
    ASSERT_EQ(viUnlock(holder), VI_SUCCESS);
    ASSERT_EQ(carrik_init("VXI0::8::INSTR", 1, 1, &car), VI_SUCCESS);
    EXPECT_EQ(carrik_close(car), VI_SUCCESS);
    EXPECT_EQ(viClose(rm), VI_SUCCESS);
}

} // namespace
