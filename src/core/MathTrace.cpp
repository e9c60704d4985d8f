// Math traces over muParser: the functions over time taken out of the text as columns of
// their own, the rest compiled by muParser and evaluated position by position over the columns.

#include "MathTrace.h"

#include <muParser.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>
#include <vector>

namespace altrix {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Infinities become NaN. (v - v is 0 for a finite v alone: a select the compiler vectorises.)
void Gaps(double* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) values[i] = values[i] - values[i] == 0 ? values[i] : kNaN;
}
// Each call keeps two columns of a window: a bound on the memory a text can take.
constexpr std::size_t kMaxCalls = 16;

enum class TimeFunction { Ddt, Lowpass, Rms, Mean, Integral };

struct FunctionSpec {
    std::string_view Name;
    TimeFunction Function;
    std::size_t Arguments;
    std::string_view Usage;
};

constexpr std::array<FunctionSpec, 5> kFunctions{{
    {"ddt", TimeFunction::Ddt, 1, "ddt(x)"},
    {"lowpass", TimeFunction::Lowpass, 2, "lowpass(x, cut-off in Hz)"},
    {"rms", TimeFunction::Rms, 2, "rms(x, seconds)"},
    {"mean", TimeFunction::Mean, 2, "mean(x, seconds)"},
    {"integral", TimeFunction::Integral, 1, "integral(x)"},
}};

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

void SlidingColumn::Resize(std::size_t size) {
    if (size == size_) return;
    size_ = size;
    offset_ = 0;
    storage_.assign(2 * size, kNaN);
}

void SlidingColumn::Shift(std::size_t sets) {
    if (sets >= size_) {
        offset_ = 0;
        return;
    }
    if (offset_ + sets + size_ > storage_.size()) {
        const auto begin = storage_.begin() + static_cast<std::ptrdiff_t>(offset_ + sets);
        std::copy(begin, begin + static_cast<std::ptrdiff_t>(size_ - sets), storage_.begin());
        offset_ = 0;
    } else {
        offset_ += sets;
    }
}

std::string MathLabel(int m, const MathDefinition& definition) {
    if (definition.Name.empty()) return "Math " + std::to_string(m);
    if (definition.Unit.empty()) return definition.Name;
    return definition.Name + " (" + definition.Unit + ")";
}

// One call of a function over time: its argument x, evaluated by muParser, and its result y,
// both by position, with the state the result carries from one position to the next.
struct TimeCall {
    TimeFunction Function = TimeFunction::Ddt;
    double Parameter = 0;
    std::string Variable;  // the name that stands for the call in the text around it
    std::string Text;      // the call as typed, for messages
    mu::Parser Argument;
    std::vector<int> Reads;  // the slots the argument reads
    SlidingColumn X, Y;
    double State = kNaN;  // lowpass: the filter's output; integral: the sum so far
};

struct MathExpression::Program {
    // A call's argument reads only calls before it.
    std::vector<std::unique_ptr<TimeCall>> Calls;
    mu::Parser Top;
    std::vector<int> TopReads;
    std::array<bool, kMathInputCount> Reads{};
    // The values muParser reads: the inputs', then the calls', of the position being computed.
    std::array<double, kMathInputCount + kMaxCalls> Slots{};

    std::optional<MathError> Extract(std::string& text, int offset, std::size_t depth = 0);
    std::optional<MathError> Compile(mu::Parser& parser, std::vector<int>& reads, const std::string& text, int offset);
    std::optional<MathError> Failure(const mu::ParserError& error, int offset, std::size_t length,
                                     std::string_view prefix = {}) const;
    // Evaluates `parser` (reading slots `reads`) at positions from .. size - 1 into out, with
    // infinities as NaN (gaps: no finite value to draw or measure).
    void Run(mu::Parser& parser, const std::vector<int>& reads, const MathInputs& inputs, std::size_t from,
             std::size_t size, double* out);
    // The same through muParser's compiled program (its bytecode), each instruction applied to a
    // block of positions at once; false, with nothing written, for a program holding other
    // instructions than values, variables, arithmetic, comparisons and functions of one or two
    // arguments, which Run evaluates position by position.
    bool RunBlocks(const mu::Parser& parser, const std::array<const double*, kMathInputCount + kMaxCalls>& columns,
                   std::size_t from, std::size_t size, double* out);
    std::vector<double> Stack;  // RunBlocks' blocks, one a level of its stack
};

std::optional<MathError> MathExpression::Program::Failure(const mu::ParserError& error, int offset,
                                                          std::size_t length, std::string_view prefix) const {
    std::string message = error.GetMsg();
    // muParser names the position in the text it was given; ours is given apart.
    for (std::string_view tail : {" at expression position ", " at position "})
        if (const std::size_t at = message.find(tail); at != std::string::npos) message.erase(at);
    if (!message.empty() && message.back() == '.') message.pop_back();
    for (const auto& call : Calls) ReplaceAll(message, call->Variable, call->Text);
    // An unexpected end is named one past the text.
    const int position = std::min(error.GetPos(), static_cast<int>(length));
    return MathError{position >= 0 ? offset + position : -1, std::string(prefix) + message};
}

std::optional<MathError> MathExpression::Program::Compile(mu::Parser& parser, std::vector<int>& reads,
                                                          const std::string& text, int offset) {
    try {
        for (std::size_t n = 0; n < kMathInputNames.size(); ++n)
            parser.DefineVar(std::string(kMathInputNames[n]), &Slots[n]);
        for (std::size_t k = 0; k < Calls.size(); ++k)
            parser.DefineVar(Calls[k]->Variable, &Slots[kMathInputCount + k]);
        parser.SetExpr(text);
        parser.Eval();
        if (parser.GetNumResults() != 1)
            return MathError{offset, "one value is expected, not a list separated by commas"};
        for (const auto& [name, slot] : parser.GetUsedVar()) {
            const auto n = static_cast<int>(slot - Slots.data());
            reads.push_back(n);
            if (n < kMathInputCount) Reads[static_cast<std::size_t>(n)] = true;
        }
    } catch (const mu::ParserError& error) {
        return Failure(error, offset, text.size());
    } catch (const std::exception&) {
        return MathError{-1, "the expression cannot be read"};
    }
    return std::nullopt;
}

void MathExpression::Program::Run(mu::Parser& parser, const std::vector<int>& reads, const MathInputs& inputs,
                                  std::size_t from, std::size_t size, double* out) {
    // One parser reused in a tight loop: Debian's muParser runs its bulk mode on OpenMP
    // threads, which on a busy machine cost ten times what they save.
    std::array<const double*, kMathInputCount + kMaxCalls> columns{};
    for (const int n : reads)
        columns[static_cast<std::size_t>(n)] =
            n < kMathInputCount ? inputs.Columns[static_cast<std::size_t>(n)] : Calls[static_cast<std::size_t>(n - kMathInputCount)]->Y.values().data();
    if (RunBlocks(parser, columns, from, size, out)) return;
    for (std::size_t i = from; i < size; ++i) {
        for (const int n : reads) Slots[static_cast<std::size_t>(n)] = columns[static_cast<std::size_t>(n)][i];
        out[i] = parser.Eval();
    }
    Gaps(out + from, size - from);
}

bool MathExpression::Program::RunBlocks(const mu::Parser& parser,
                                        const std::array<const double*, kMathInputCount + kMaxCalls>& columns,
                                        std::size_t from, std::size_t size, double* out) {
    constexpr std::size_t kBlock = 256;
    const mu::ParserByteCode& code = parser.GetByteCode();
    if (code.GetSize() == 0) return false;
    const mu::SToken* program = code.GetBase();
    // The column a variable instruction reads, or none for a pointer that is no slot.
    const auto column = [&](const mu::SToken& token) -> const double* {
        const std::ptrdiff_t slot = token.Val.ptr - Slots.data();
        return slot >= 0 && slot < static_cast<std::ptrdiff_t>(Slots.size()) ? columns[static_cast<std::size_t>(slot)] : nullptr;
    };
    std::size_t depth = 0, deepest = 0;
    for (const mu::SToken* token = program; token->Cmd != mu::cmEND; ++token) {
        switch (token->Cmd) {
        case mu::cmVAR: case mu::cmVARPOW2: case mu::cmVARPOW3: case mu::cmVARPOW4: case mu::cmVARMUL:
            if (!column(*token)) return false;
            ++depth;
            break;
        case mu::cmVAL: ++depth; break;
        case mu::cmLE: case mu::cmGE: case mu::cmNEQ: case mu::cmEQ: case mu::cmLT: case mu::cmGT: case mu::cmADD:
        case mu::cmSUB: case mu::cmMUL: case mu::cmDIV: case mu::cmPOW: case mu::cmLAND: case mu::cmLOR:
            if (depth < 2) return false;
            --depth;
            break;
        case mu::cmFUNC:
            if (token->Fun.argc < 1 || token->Fun.argc > 2 || depth < static_cast<std::size_t>(token->Fun.argc)) return false;
            depth -= static_cast<std::size_t>(token->Fun.argc) - 1;
            break;
        default: return false;
        }
        deepest = std::max(deepest, depth);
    }
    if (depth != 1) return false;
    // Level l of the stack is `level[l]`: a variable's column itself until an instruction writes
    // it into its own block; the last instruction writes into `out`.
    Stack.resize(deepest * kBlock);
    std::vector<const double*> level(deepest);
    const mu::SToken* last = program;
    while ((last + 1)->Cmd != mu::cmEND) ++last;
    for (std::size_t first = from; first < size; first += kBlock) {
        const std::size_t n = std::min(kBlock, size - first);
        std::size_t l = 0;  // levels in use
        const auto target = [&](const mu::SToken* token, std::size_t at) {
            return token == last ? out + first : Stack.data() + at * kBlock;
        };
        const auto binary = [&](const mu::SToken* token, auto op) {
            --l;
            double* to = target(token, l - 1);
            const double* a = level[l - 1];
            const double* b = level[l];
            for (std::size_t j = 0; j < n; ++j) to[j] = op(a[j], b[j]);
            level[l - 1] = to;
        };
        for (const mu::SToken* token = program; token->Cmd != mu::cmEND; ++token) {
            switch (token->Cmd) {
            case mu::cmVAR:
                level[l] = column(*token) + first;
                if (token == last) std::copy(level[l], level[l] + n, out + first);
                ++l;
                break;
            case mu::cmVARPOW2: case mu::cmVARPOW3: case mu::cmVARPOW4: case mu::cmVARMUL: {
                const double* x = column(*token) + first;
                double* to = target(token, l);
                const double factor = token->Val.data, offset = token->Val.data2;
                for (std::size_t j = 0; j < n; ++j) {
                    const double v = x[j];
                    to[j] = token->Cmd == mu::cmVARPOW2   ? v * v
                            : token->Cmd == mu::cmVARPOW3 ? v * v * v
                            : token->Cmd == mu::cmVARPOW4 ? v * v * v * v
                                                          : v * factor + offset;
                }
                level[l++] = to;
                break;
            }
            case mu::cmVAL: {
                double* to = target(token, l);
                std::fill(to, to + n, token->Val.data2);
                level[l++] = to;
                break;
            }
            case mu::cmLE: binary(token, [](double a, double b) { return double(a <= b); }); break;
            case mu::cmGE: binary(token, [](double a, double b) { return double(a >= b); }); break;
            case mu::cmNEQ: binary(token, [](double a, double b) { return double(a != b); }); break;
            case mu::cmEQ: binary(token, [](double a, double b) { return double(a == b); }); break;
            case mu::cmLT: binary(token, [](double a, double b) { return double(a < b); }); break;
            case mu::cmGT: binary(token, [](double a, double b) { return double(a > b); }); break;
            case mu::cmADD: binary(token, [](double a, double b) { return a + b; }); break;
            case mu::cmSUB: binary(token, [](double a, double b) { return a - b; }); break;
            case mu::cmMUL: binary(token, [](double a, double b) { return a * b; }); break;
            case mu::cmDIV: binary(token, [](double a, double b) { return a / b; }); break;
            case mu::cmPOW: binary(token, [](double a, double b) { return std::pow(a, b); }); break;
            case mu::cmLAND: binary(token, [](double a, double b) { return double(a && b); }); break;
            case mu::cmLOR: binary(token, [](double a, double b) { return double(a || b); }); break;
            case mu::cmFUNC:
                if (token->Fun.argc == 1) {
                    double* to = target(token, l - 1);
                    const double* x = level[l - 1];
                    for (std::size_t j = 0; j < n; ++j) to[j] = token->Fun.cb.call_fun<1>(x[j]);
                    level[l - 1] = to;
                } else {
                    binary(token, [token](double a, double b) { return token->Fun.cb.call_fun<2>(a, b); });
                }
                break;
            default: break;  // none: the program was checked above
            }
        }
        Gaps(out + first, n);
    }
    return true;
}

// Takes every call of a function over time out of `text` (which starts at `offset` of the
// whole expression), innermost first, and puts a name of the same length in its place, so that
// positions in the text muParser sees are positions in the text typed.
std::optional<MathError> MathExpression::Program::Extract(std::string& text, int offset, std::size_t depth) {
    for (std::size_t i = 0; i < text.size();) {
        const bool nameStart = (std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '_') &&
                               (i == 0 || (!IsNameChar(text[i - 1]) && text[i - 1] != '.'));
        if (!nameStart) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        const std::string_view name(text.data() + i, end - i);
        const auto spec = std::find_if(kFunctions.begin(), kFunctions.end(),
                                       [name](const FunctionSpec& f) { return f.Name == name; });
        std::size_t open = end;
        while (open < text.size() && text[open] == ' ') ++open;
        if (spec == kFunctions.end() || open == text.size() || text[open] != '(') {
            i = end;
            continue;
        }
        const int at = offset + static_cast<int>(i);
        std::vector<std::size_t> commas;
        std::size_t close = open;
        for (int depth = 0; close < text.size(); ++close) {
            if (text[close] == '(') ++depth;
            if (text[close] == ')' && --depth == 0) break;
            if (text[close] == ',' && depth == 1) commas.push_back(close);
        }
        if (close == text.size())
            return MathError{offset + static_cast<int>(open), "the parenthesis opened here is not closed"};
        if (commas.size() + 1 != spec->Arguments)
            return MathError{at, "write " + std::string(spec->Usage)};
        if (Calls.size() == kMaxCalls || depth == kMaxCalls)
            return MathError{at, "at most " + std::to_string(kMaxCalls) + " functions over time in one expression"};

        auto call = std::make_unique<TimeCall>();
        call->Function = spec->Function;
        const std::size_t argumentEnd = commas.empty() ? close : commas.front();
        std::string argument = text.substr(open + 1, argumentEnd - open - 1);
        const int argumentAt = offset + static_cast<int>(open) + 1;
        if (argument.find_first_not_of(' ') == std::string::npos)
            return MathError{argumentAt, "write " + std::string(spec->Usage)};
        if (auto error = Extract(argument, argumentAt, depth + 1)) return error;
        if (auto error = Compile(call->Argument, call->Reads, argument, argumentAt)) return error;
        if (spec->Arguments == 2) {
            const int parameterAt = offset + static_cast<int>(commas.front()) + 1;
            const std::string parameter = text.substr(commas.front() + 1, close - commas.front() - 1);
            const std::string_view what = spec->Function == TimeFunction::Lowpass ? "the cut-off" : "the time";
            try {
                mu::Parser constant;
                constant.SetExpr(parameter);
                call->Parameter = constant.Eval();
            } catch (const mu::ParserError& error) {
                return Failure(error, parameterAt, parameter.size(), std::string(what) + " must be a constant number: ");
            } catch (const std::exception&) {
                return MathError{parameterAt, std::string(what) + " must be a constant number"};
            }
            if (!(call->Parameter > 0) || !std::isfinite(call->Parameter))
                return MathError{parameterAt, std::string(what) + " must be a number above 0"};
        }
        const std::size_t length = close + 1 - i;
        call->Text = text.substr(i, length);
        call->Variable = "_m" + std::to_string(Calls.size());
        call->Variable.resize(length, '_');
        text.replace(i, length, call->Variable);
        Calls.push_back(std::move(call));
        i += length;
    }
    return std::nullopt;
}

MathExpression::MathExpression() = default;
MathExpression::~MathExpression() = default;
MathExpression::MathExpression(MathExpression&&) noexcept = default;
MathExpression& MathExpression::operator=(MathExpression&&) noexcept = default;

std::optional<MathError> MathExpression::Compile(std::string_view text) {
    program_.reset();
    if (text.find_first_not_of(" \t") == std::string_view::npos) return MathError{-1, "no expression"};
    if (text.size() >= static_cast<std::size_t>(mu::MaxLenExpression) / 2)
        return MathError{-1, "the expression is too long"};
    auto program = std::make_unique<Program>();
    std::string rewritten(text);
    if (auto error = program->Extract(rewritten, 0)) return error;
    if (auto error = program->Compile(program->Top, program->TopReads, rewritten, 0)) return error;
    program_ = std::move(program);
    return std::nullopt;
}

bool MathExpression::Valid() const {
    return program_ != nullptr;
}

bool MathExpression::Reads(int n) const {
    return program_ && program_->Reads[static_cast<std::size_t>(n)];
}

std::size_t MathExpression::History(double sampleRateHz) const {
    if (!program_) return 0;
    double history = 0;
    for (const auto& call : program_->Calls) {
        switch (call->Function) {
        case TimeFunction::Ddt: history += 1; break;
        case TimeFunction::Lowpass: history += std::ceil(16 * sampleRateHz / (2 * std::numbers::pi * call->Parameter)); break;
        case TimeFunction::Rms:
        case TimeFunction::Mean: history += std::max(1.0, std::round(call->Parameter * sampleRateHz)) - 1; break;
        case TimeFunction::Integral: break;
        }
    }
    // Bounded so that callers may add it to a position.
    return static_cast<std::size_t>(std::min(history, 1e15));
}

namespace {

// y[from .. size) of a function over time from x, with y and x before `from` as computed
// before, and the call's state as it stood after position from - 1.
void Apply(TimeCall& call, std::size_t size, std::size_t from, double rate, std::size_t origin) {
    const std::span<const double> x = std::as_const(call.X).values();
    const std::span<double> y = call.Y.values();
    switch (call.Function) {
    case TimeFunction::Ddt:
        for (std::size_t i = from; i < size; ++i) y[i] = i == 0 ? kNaN : (x[i] - x[i - 1]) * rate;
        break;
    case TimeFunction::Lowpass: {
        const double a = -std::expm1(-2 * std::numbers::pi * call.Parameter / rate);
        double level = from == 0 ? kNaN : call.State;
        for (std::size_t i = from; i < size; ++i) {
            if (!std::isfinite(x[i])) {
                y[i] = kNaN;
                continue;
            }
            level = std::isfinite(level) ? level + a * (x[i] - level) : x[i];
            y[i] = level;
        }
        call.State = level;
        break;
    }
    case TimeFunction::Integral: {
        const double dt = 1 / rate;
        double sum = from <= origin ? 0 : call.State;
        for (std::size_t i = from; i < size; ++i) {
            if (i < origin) {
                y[i] = kNaN;
                continue;
            }
            if (i > origin && std::isfinite(x[i]) && std::isfinite(x[i - 1])) sum += (x[i] + x[i - 1]) * 0.5 * dt;
            y[i] = std::isfinite(x[i]) ? sum : kNaN;
        }
        call.State = sum;
        break;
    }
    case TimeFunction::Rms:
    case TimeFunction::Mean: {
        const bool rms = call.Function == TimeFunction::Rms;
        const auto n = static_cast<std::size_t>(std::max(1.0, std::round(call.Parameter * rate)));
        // Sums of the finite values among the last n, and how many were not finite.
        long double sum = 0;
        std::ptrdiff_t bad = 0;
        const auto add = [&](double v, int sign) {
            if (!std::isfinite(v))
                bad += sign;
            else
                sum += sign * (rms ? static_cast<long double>(v) * v : static_cast<long double>(v));
        };
        for (std::size_t i = from > n ? from - n : 0; i < from; ++i) add(x[i], 1);
        for (std::size_t i = from; i < size; ++i) {
            add(x[i], 1);
            if (i >= n) add(x[i - n], -1);
            if (i + 1 < n || bad > 0) {
                y[i] = kNaN;
                continue;
            }
            const long double average = sum / static_cast<long double>(n);
            y[i] = static_cast<double>(rms ? std::sqrt(std::max(0.0L, average)) : average);
        }
        break;
    }
    }
}

}  // namespace

void MathExpression::Evaluate(const MathInputs& inputs, std::size_t from, std::span<double> out) {
    const std::size_t size = std::min(inputs.Size, out.size());
    bool complete = program_ != nullptr;
    for (int n = 0; complete && n < kMathInputCount; ++n)
        complete = !Reads(n) || inputs.Columns[static_cast<std::size_t>(n)];
    if (!complete || !(inputs.SampleRateHz > 0)) {
        std::fill(out.begin(), out.end(), kNaN);
        return;
    }
    Program& program = *program_;
    for (const auto& call : program.Calls) {
        if (call->X.size() != size) from = 0;
        call->X.Resize(size);
        call->Y.Resize(size);
    }
    if (from >= size) return;
    try {
        for (const auto& call : program.Calls) {
            program.Run(call->Argument, call->Reads, inputs, from, size, call->X.values().data());
            Apply(*call, size, from, inputs.SampleRateHz, inputs.Origin);
        }
        program.Run(program.Top, program.TopReads, inputs, from, size, out.data());
    } catch (const std::exception&) {
        std::fill(out.begin() + static_cast<std::ptrdiff_t>(from), out.begin() + static_cast<std::ptrdiff_t>(size),
                  kNaN);
        return;
    }
}

void MathExpression::Shift(std::size_t size, std::size_t sets) {
    if (!program_) return;
    for (const auto& call : program_->Calls) {
        if (call->X.size() != size) continue;
        call->X.Shift(sets);
        call->Y.Shift(sets);
    }
}

}  // namespace altrix
