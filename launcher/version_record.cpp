// The program's identity. Linux executables carry no resource table, so the
// record lives as plain NUL-separated strings in a section of its own:
// `readelf -p .vanto.version Vanto` lists one entry per line and `strings` finds
// them too. The section is allocated (it survives `strip`), `used` keeps the
// compiler from dropping the unreferenced array and `retain` keeps the linker
// from dropping the section under --gc-sections.

[[gnu::used, gnu::retain, gnu::section(".vanto.version")]] static const char kVersionRecord[] =
    "ProductName=Project1\0"
    "FileVersion=1.00\0"
    "ProductVersion=1.00\0"
    "InternalName=Vanto\0"
    "OriginalFilename=Vanto.exe";
