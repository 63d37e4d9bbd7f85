"""A third-party VISA client (pyvisa) on the simulated VISA library.

Usage: pyvisa_client.py LIBRARY_PATH (ORTAV_BENCH names pyvisa_bench.yaml).
Lists the resources, reads their attributes, queries "*IDN?", takes a lock and
waits out a device that does not answer. Exits non-zero on the first mismatch.
"""
import sys

try:
    import pyvisa
    from pyvisa import constants
except ImportError:
    print("python3-pyvisa is not installed (scripts/install-deps.sh installs it)")
    sys.exit(1)


def expect(what, got, want):
    if got != want:
        print(f"FAIL {what}: got {got!r}, want {want!r}")
        sys.exit(1)
    print(f"ok   {what}: {got!r}")


rm = pyvisa.ResourceManager(sys.argv[1])

expect("list ?*INSTR", rm.list_resources("?*INSTR"), (
    "VXI0::8::INSTR",
    "USB0::0x0C5B::0x1004::KC21047::INSTR",
    "TCPIP0::192.168.0.17::INSTR",
    "GPIB0::22::INSTR",
    "GPIB0::9::INSTR",
))
expect("list default query", len(rm.list_resources()), 5)
expect("list USB?*INSTR", rm.list_resources("USB?*INSTR"),
       ("USB0::0x0C5B::0x1004::KC21047::INSTR",))

info = rm.resource_info("gpib::22")
expect("resource_info type", info.interface_type, constants.InterfaceType.gpib)
expect("resource_info class", info.resource_class, "INSTR")

vxi = rm.open_resource("VXI0::8::INSTR")
expect("VXI interface", vxi.get_visa_attribute(constants.VI_ATTR_INTF_TYPE),
       constants.VI_INTF_VXI)
expect("VXI slot", vxi.get_visa_attribute(constants.VI_ATTR_SLOT), 2)
expect("VXI manufacturer", vxi.get_visa_attribute(constants.VI_ATTR_MANF_ID), 0xC5B)
expect("VXI model", vxi.get_visa_attribute(constants.VI_ATTR_MODEL_CODE), 0x10D)
expect("VXI mainframe LA", vxi.get_visa_attribute(constants.VI_ATTR_MAINFRAME_LA), 0)
expect("VXI LA", vxi.get_visa_attribute(constants.VI_ATTR_VXI_LA), 8)
vxi.close()

for name, idn in [("USB0::0x0C5B::0x1004::KC21047::INSTR", "KORDAVELIN,CARRIK-U4,KC21047,2.13"),
                  ("TCPIP0::192.168.0.17::INSTR", "KORDAVELIN,CARRIK-L4,KL30011,1.02"),
                  ("GPIB0::22::INSTR", "HP3458A")]:
    inst = rm.open_resource(name, read_termination="\n")
    expect(f"{name} *IDN?", inst.query("*IDN?"), idn)
    inst.close()

tcpip = rm.open_resource("TCPIP0::192.168.0.17::INSTR")
expect("TCPIP address", tcpip.get_visa_attribute(constants.VI_ATTR_TCPIP_ADDR), "192.168.0.17")
tcpip.lock_excl(timeout=2000)
expect("lock state", tcpip.lock_state, constants.AccessModes.exclusive_lock)
tcpip.unlock()
tcpip.close()

quiet = rm.open_resource("GPIB0::9::INSTR")
quiet.timeout = 50
try:
    quiet.query("*IDN?")
    expect("silent device times out", "answered", "timeout")
except pyvisa.errors.VisaIOError as e:
    expect("silent device times out", e.error_code, constants.StatusCode.error_timeout)
quiet.close()

rm.close()
print("pyvisa client: all checks passed")
