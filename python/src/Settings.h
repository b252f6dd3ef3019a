// Python module: the grab's scalar settings by name, its GPIO records, and the constants of the
// hardware back-end classes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tamra/Tamra.h>

namespace tamra_python {

// One scalar setting. Values travel as double (every integer setting fits exactly); set is null
// for a read-only one and returns the library's 1 or 0. The line-I/O setters store the value and
// then report the state of the line (0: that output is not enabled), so only a 0 from a setter
// marked checked is a failure.
struct Setting {
    const char* name;
    bool isFloat;
    double (*get)(IXGrab&);
    int (*set)(IXGrab&, double);
    bool checked = false;
};

const std::vector<Setting>& settings();
// Null for an unknown name.
const Setting* findSetting(const std::string& name);

// A GPIO record as name -> value; integer fields as double like the settings.
using Record = std::map<std::string, double>;
Record inputRecord(const IFW_GPI_CONFIG& config);
Record outputRecord(const IFW_GPO_CONFIG& config);
// Applies the given fields over config; false naming the first unknown field in unknown.
bool applyInput(const Record& fields, IFW_GPI_CONFIG& config, std::string& unknown);
bool applyOutput(const Record& fields, IFW_GPO_CONFIG& config, std::string& unknown);

// What SaveStorage writes and LoadStorage reads: keys such as "GPI3.Debounce".
class MapStorage : public XiStorage {
public:
    struct Value {
        bool isFloat = false;
        double number = 0.0;
    };
    std::map<std::string, Value> values;

    int WriteFloat(const char* key, float value) override;
    int WriteInt(const char* key, int value) override;
    int ReadFloat(const char* key, float* value, float dflt) override;
    int ReadInt(const char* key, int* value, int dflt) override;
};

// Each hardware class, constructed and read through the settings table, plus its first output
// records (where families preset them).
struct HardwareClass {
    std::string name;
    std::map<std::string, double> values;
    std::vector<Record> outputs;
};
std::vector<HardwareClass> hardwareClasses();

}  // namespace tamra_python
