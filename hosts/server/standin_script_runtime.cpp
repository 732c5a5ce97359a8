#include "standin_script_runtime.h"

#include <cmath>
#include <csetjmp>
#include <cstdarg>
#include <cstdint>
#include <sstream>

#include "console_output.h"
#include "engine_abi.h"
#include "script_parser.h"

// The runtime's one script state; the module sees only its address.
struct ScriptStateHandle {
    StandInScriptRuntime* runtime;
};

namespace {

const char* TypeName(ScriptValue::Type type) {
    switch (type) {
        case ScriptValue::Type::Nil:
            return "nil";
        case ScriptValue::Type::Boolean:
            return "boolean";
        case ScriptValue::Type::Number:
            return "number";
        case ScriptValue::Type::String:
            return "string";
    }
    return "?";
}

std::string TypeCodeName(int typeCode) {
    if (typeCode == kScriptTypeString) return "string";
    if (typeCode == kScriptTypeNumber) return "number";
    return Format("type %d", typeCode);
}

bool HasTypeCode(const ScriptValue& value, int typeCode) {
    return (typeCode == kScriptTypeString && value.type == ScriptValue::Type::String) ||
           (typeCode == kScriptTypeNumber && value.type == ScriptValue::Type::Number);
}

// Numbers reach a module's integer arguments truncated toward zero and wrapped into 32
// bits, as a runtime whose numbers are doubles hands them over.
std::int32_t ToInteger(double number) {
    if (!std::isfinite(number)) return 0;
    double wrapped = std::fmod(std::trunc(number), 4294967296.0);
    if (wrapped < 0) wrapped += 4294967296.0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(wrapped));
}

}  // namespace

ScriptValue ScriptValue::Number(double number) {
    ScriptValue value;
    value.type = Type::Number;
    value.number = number;
    return value;
}

ScriptValue ScriptValue::String(std::string text) {
    ScriptValue value;
    value.type = Type::String;
    value.text = std::move(text);
    return value;
}

ScriptValue ScriptValue::Boolean(bool boolean) {
    ScriptValue value;
    value.type = Type::Boolean;
    value.boolean = boolean;
    return value;
}

std::string ShowValue(const ScriptValue& value) {
    switch (value.type) {
        case ScriptValue::Type::Nil:
            return "nil";
        case ScriptValue::Type::Boolean:
            return value.boolean ? "true" : "false";
        case ScriptValue::Type::Number:
            return Format("%.14g", value.number);
        case ScriptValue::Type::String:
            return value.text;
    }
    return {};
}

// One native call in progress: its arguments, what it pushed, and where a refusal lands.
struct StandInScriptRuntime::CallFrame {
    const std::string* name;
    const std::vector<ScriptValue>* arguments;
    std::vector<ScriptValue> results;
    std::string refusal;
    std::jmp_buf landing;

    const ScriptValue* Argument(int index) const {
        if (index < 1 || static_cast<std::size_t>(index) > arguments->size()) return nullptr;
        return &(*arguments)[static_cast<std::size_t>(index) - 1];
    }
};

class StandInScriptRuntime::StandInInterface final : public ScriptInterface {
public:
    explicit StandInInterface(StandInScriptRuntime& runtime) : m_Runtime(runtime) {}

    const char* ArgumentString(int index) override {
        const ScriptValue* value = Current() ? Current()->Argument(index) : nullptr;
        return value != nullptr && value->type == ScriptValue::Type::String ? value->text.c_str()
                                                                            : nullptr;
    }
    int ArgumentInteger(int index) override {
        const ScriptValue* value = Current() ? Current()->Argument(index) : nullptr;
        return value != nullptr && value->type == ScriptValue::Type::Number
                   ? ToInteger(value->number)
                   : 0;
    }
    void PushBoolean(int value) override {
        if (Current() != nullptr) Current()->results.push_back(ScriptValue::Boolean(value != 0));
    }
    void RegisterGlobalFunction(const char* name, ScriptFunction function) override {
        if (name == nullptr || function == nullptr) return;
        if (m_Runtime.m_Globals.count(name) == 0) m_Runtime.m_GlobalOrder.emplace_back(name);
        m_Runtime.m_Globals[name] = function;
    }
    void RequireArgumentType(int index, int typeCode) override {
        CallFrame* frame = Current();
        if (frame == nullptr) return;
        const ScriptValue* value = frame->Argument(index);
        if (value != nullptr && HasTypeCode(*value, typeCode)) return;
        Refuse(*frame, index, typeCode, value);
    }
    void ReportFailure(const char* text) override {
        if (!m_Runtime.m_bQuiet) PrintDetail("failure", "%s", text != nullptr ? text : "(null)");
    }
    void PrintMessage(const char* format, ...) override {
        if (format == nullptr || m_Runtime.m_bQuiet) return;
        va_list arguments;
        va_start(arguments, format);
        char buffer[1024];
        std::vsnprintf(buffer, sizeof(buffer), format, arguments);
        va_end(arguments);
        std::string text(buffer);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        PrintDetail("message", "%s", text.c_str());
    }

private:
    CallFrame* Current() const { return m_Runtime.m_pCurrentFrame; }

    // Leaves the native function for good: back to the runtime's call site, past the
    // module's frames. No frame on the way holds anything to destroy.
    [[noreturn]] static void Refuse(CallFrame& frame, int index, int typeCode,
                                    const ScriptValue* value) {
        frame.refusal = Format("bad argument #%d to '%s' (%s expected, got %s)", index,
                               frame.name->c_str(), TypeCodeName(typeCode).c_str(),
                               value != nullptr ? TypeName(value->type) : "no value");
        std::longjmp(frame.landing, 1);
    }

    StandInScriptRuntime& m_Runtime;
};

// Every interface the module is handed is the engine's view of these objects, laid out as a
// real runtime's.
class StandInScriptRuntime::StandInManager final : public ScriptModuleManager {
public:
    StandInManager(ScriptStateHandle& state, StandInInterface& served)
        : m_State(state), m_Served(&served) {}
    ScriptInterface* InterfaceForState(ScriptState state) override {
        return state == &m_State ? m_Served.get() : nullptr;
    }

    const EngineObject<ScriptModuleManager> m_Engine{this};

private:
    ScriptStateHandle& m_State;
    EngineObject<ScriptInterface> m_Served;
};

class StandInScriptRuntime::StandInHost final : public ScriptHostInterface {
public:
    explicit StandInHost(StandInScriptRuntime& runtime) : m_State{&runtime} {}
    ScriptState FetchScriptState() override { return &m_State; }
    ScriptModuleManager* FetchModuleManager() override { return m_pManager; }

    ScriptStateHandle m_State;
    ScriptModuleManager* m_pManager = nullptr;
    const EngineObject<ScriptHostInterface> m_Engine{this};
};

StandInScriptRuntime::StandInScriptRuntime()
    : m_pHost(new StandInHost(*this)),
      m_pManager(nullptr),
      m_pInterface(new StandInInterface(*this)) {
    m_pManager = new StandInManager(m_pHost->m_State, *m_pInterface);
    m_pHost->m_pManager = m_pManager->m_Engine.get();
}

StandInScriptRuntime::~StandInScriptRuntime() {
    delete m_pManager;
    delete m_pInterface;
    delete m_pHost;
}

ScriptHostInterface* StandInScriptRuntime::Host() {
    return m_pHost->m_Engine.get();
}

namespace {

// The only place a refusal lands. Kept free of objects with destructors, since a refusal
// jumps over the frames between here and the runtime's RequireArgumentType.
int CallWithLanding(ScriptFunction function, ScriptState state, std::jmp_buf& landing) {
    if (setjmp(landing) != 0) return -1;
    return function(state);
}

}  // namespace

std::optional<std::vector<ScriptValue>> StandInScriptRuntime::CallNative(
    const std::string& name, ScriptFunction function, const std::vector<ScriptValue>& arguments) {
    CallFrame frame{&name, &arguments, {}, {}, {}};
    CallFrame* outer = m_pCurrentFrame;
    m_pCurrentFrame = &frame;
    const int pushed = CallWithLanding(function, &m_pHost->m_State, frame.landing);
    m_pCurrentFrame = outer;
    if (pushed < 0) {
        if (!m_bQuiet) PrintDetail("error", "%s", frame.refusal.c_str());
        return std::nullopt;
    }
    // The function's results are the last ones it pushed.
    std::vector<ScriptValue> results;
    const std::size_t count = static_cast<std::size_t>(pushed);
    const std::size_t available = frame.results.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = available - std::min(count, available) + i;
        results.push_back(from < available ? frame.results[from] : ScriptValue{});
    }
    return results;
}

std::optional<std::vector<ScriptValue>> StandInScriptRuntime::Evaluate(
    const ScriptExpression& expression) {
    switch (expression.kind) {
        case ScriptExpression::Kind::Nil:
            return std::vector<ScriptValue>{ScriptValue{}};
        case ScriptExpression::Kind::Boolean:
            return std::vector<ScriptValue>{ScriptValue::Boolean(expression.boolean)};
        case ScriptExpression::Kind::Number:
            return std::vector<ScriptValue>{ScriptValue::Number(expression.number)};
        case ScriptExpression::Kind::String:
            return std::vector<ScriptValue>{ScriptValue::String(expression.text)};
        case ScriptExpression::Kind::Call:
            break;
    }
    // Arguments left to right; a call as an argument gives its first result.
    std::vector<ScriptValue> arguments;
    for (const ScriptExpression& argument : expression.arguments) {
        std::optional<std::vector<ScriptValue>> values = Evaluate(argument);
        if (!values) return std::nullopt;
        arguments.push_back(values->empty() ? ScriptValue{} : (*values)[0]);
    }
    if (expression.text == "print") {
        std::string line;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (i > 0) line += '\t';
            line += ShowValue(arguments[i]);
        }
        if (!m_bQuiet) PrintDetail("print", "%s", line.c_str());
        return std::vector<ScriptValue>{};
    }
    const auto global = m_Globals.find(expression.text);
    if (global == m_Globals.end()) {
        if (!m_bQuiet) {
            PrintDetail("error", "attempt to call '%s', which is not a known function",
                        expression.text.c_str());
        }
        return std::nullopt;
    }
    return CallNative(expression.text, global->second, arguments);
}

StandInScriptRuntime::RunCounts StandInScriptRuntime::Run(const std::string& source) {
    RunCounts counts;
    std::istringstream lines(source);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const ParsedLine parsed = ParseScriptLine(line);
        if (parsed.empty) continue;
        ++counts.statements;
        PrintStep("%5d | %s", number, parsed.statement.c_str());
        if (!parsed.error.empty()) {
            PrintDetail("error", "%s", parsed.error.c_str());
            ++counts.errors;
            continue;
        }
        const std::optional<std::vector<ScriptValue>> results = Evaluate(parsed.call);
        if (!results) {
            ++counts.errors;
            continue;
        }
        // A bare call's results would be lost; show them.
        for (const ScriptValue& result : *results) {
            PrintDetail("result", "%s", ShowValue(result).c_str());
        }
    }
    return counts;
}

std::optional<ScriptValue> StandInScriptRuntime::CallQuietly(
    const std::string& name, const std::vector<ScriptValue>& arguments) {
    const auto global = m_Globals.find(name);
    if (global == m_Globals.end()) return std::nullopt;
    m_bQuiet = true;
    std::optional<std::vector<ScriptValue>> results = CallNative(name, global->second, arguments);
    m_bQuiet = false;
    if (!results || results->empty()) return std::nullopt;
    return (*results)[0];
}
