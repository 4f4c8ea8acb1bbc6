#include "solve/wire.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string_view>
#include <type_traits>

#include "zormix/error.h"

namespace zormix {
namespace {

// Counts the fields of an aggregate: the largest k for which T{f_1, ..., f_k} compiles with fields
// that convert to anything.
struct AnyField {
  template <class T>
  operator T() const;
};
template <class T, class... Fields>
constexpr std::size_t FieldCount() {
  if constexpr (requires { T{Fields{}..., AnyField{}}; }) {
    return FieldCount<T, Fields..., AnyField>();
  } else {
    return sizeof...(Fields);
  }
}

// Every field of SolveOptions, in declaration order. A field added to SolveOptions and not here
// fails the static_assert below: it must be sent, or named here as one that stays on its process.
template <class Options, class Visit>
void VisitOptionFields(Options& o, Visit&& visit) {
  visit(o.route);
  visit(o.seed);
  visit(o.threads);
  visit(o.reportPath);
  visit(o.mixedVolumeOnly);
  visit(o.checkpointPath);
  visit(o.maxPaths);
  visit(o.certify);
  visit(o.progress);
  visit(o.interrupted);
  visit(o.console);
  visit(o.carriedStream);
}
constexpr std::size_t kVisitedOptionFields = 12;
static_assert(FieldCount<SolveOptions>() == kVisitedOptionFields,
              "a field of SolveOptions is missing from VisitOptionFields");

template <class T>
constexpr bool kStaysOnItsProcess = std::is_pointer_v<T>;
template <class T>
constexpr bool kIsOptional = false;
template <class T>
constexpr bool kIsOptional<std::optional<T>> = true;
template <class R, class... A>
constexpr bool kStaysOnItsProcess<std::function<R(A...)>> = true;

class Writer {
 public:
  template <class T>
  void Raw(const T* values, std::size_t count) {
    static_assert(std::is_trivially_copyable_v<T>);
    out_.append(reinterpret_cast<const char*>(values), count * sizeof(T));
  }
  template <class T>
  void Value(const T& value) {
    Raw(&value, 1);
  }
  void Text(const std::string& text) {
    Value(static_cast<std::uint64_t>(text.size()));
    out_ += text;
  }
  template <class T>
  void operator()(const T& field) {
    if constexpr (kStaysOnItsProcess<T>) {
    } else if constexpr (std::is_same_v<T, std::string>) {
      Text(field);
    } else if constexpr (kIsOptional<T>) {
      Value(static_cast<std::uint8_t>(field.has_value()));
      Value(field.value_or(typename T::value_type{}));
    } else {
      Value(field);
    }
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  template <class T>
  void Raw(T* values, std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (bytes > in_.size() - at_ || count > in_.size()) Damaged();
    std::memcpy(values, in_.data() + at_, bytes);
    at_ += bytes;
  }
  template <class T>
  T Value() {
    T value;
    Raw(&value, 1);
    return value;
  }
  std::string Text() {
    const auto size = Value<std::uint64_t>();
    if (size > in_.size() - at_) Damaged();
    std::string text(in_.substr(at_, size));
    at_ += size;
    return text;
  }
  template <class T>
  void operator()(T& field) {
    if constexpr (kStaysOnItsProcess<T>) {
    } else if constexpr (std::is_same_v<T, std::string>) {
      field = Text();
    } else if constexpr (kIsOptional<T>) {
      const bool has = Value<std::uint8_t>() != 0;
      const auto value = Value<typename T::value_type>();
      field = has ? T(value) : std::nullopt;
    } else {
      field = Value<T>();
    }
  }
  bool AtEnd() const { return at_ == in_.size(); }
  [[noreturn]] static void Damaged() { throw Error(ErrorCode::kInternal, "damaged solve message"); }

 private:
  std::string_view in_;
  std::size_t at_ = 0;
};

}  // namespace

std::string EncodeSolve(const PolySystem& system, const SolveOptions& options) {
  Writer out;
  VisitOptionFields(options, out);
  out.Value(static_cast<std::int64_t>(system.n));
  out.Value(system.termTotal());
  out.Raw(system.termCount.data(), system.termCount.size());
  out.Raw(system.exponents.data(), system.exponents.storage().size());
  out.Raw(system.coefficients.data(), system.coefficients.size());
  for (const std::string& name : system.variableNames) out.Text(name);
  return out.Take();
}

WireSolve DecodeSolve(const std::string& bytes) {
  Reader in(bytes);
  WireSolve solve;
  VisitOptionFields(solve.options, in);
  PolySystem& s = solve.system;
  const auto n = in.Value<std::int64_t>();
  const auto terms = in.Value<std::int64_t>();
  if (n < 0 || terms < 0 || n > static_cast<std::int64_t>(bytes.size()) ||
      terms > static_cast<std::int64_t>(bytes.size()))
    Reader::Damaged();
  s.n = static_cast<int>(n);
  s.termCount.resize(static_cast<std::size_t>(n));
  in.Raw(s.termCount.data(), s.termCount.size());
  s.exponents.Assign(s.n, terms);
  in.Raw(s.exponents.data(), static_cast<std::size_t>(n * terms));
  s.coefficients.resize(static_cast<std::size_t>(terms));
  in.Raw(s.coefficients.data(), s.coefficients.size());
  for (int i = 0; i < s.n; ++i) s.variableNames.push_back(in.Text());
  if (!in.AtEnd()) Reader::Damaged();
  return solve;
}

}  // namespace zormix
