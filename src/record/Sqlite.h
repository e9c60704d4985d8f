#pragma once
// Owning handles of an SQLite connection and its statements, shared by the recording's
// writer and reader.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace altrix::sqlite {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const char* sql) {
        sqlite3_stmt* s = nullptr;
        ok_ = sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK;
        stmt_.reset(s);
    }
    bool ok() const { return ok_ && stmt_; }
    sqlite3_stmt* get() const { return stmt_.get(); }
    void reset() {
        sqlite3_reset(stmt_.get());
        sqlite3_clear_bindings(stmt_.get());
    }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(stmt_.get(), i, v); }
    void bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void bindBlob(int i, std::span<const std::uint8_t> v) {
        sqlite3_bind_blob(stmt_.get(), i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int step() { return sqlite3_step(stmt_.get()); }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_.get(), col); }
    std::string text(int col) const {
        const auto* t = sqlite3_column_text(stmt_.get(), col);
        return t ? std::string(reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col)))
                 : std::string();
    }
    std::span<const std::uint8_t> blob(int col) const {
        const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_.get(), col));
        return {b, b ? static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col)) : 0};
    }
    int type(int col) const { return sqlite3_column_type(stmt_.get(), col); }

private:
    std::unique_ptr<sqlite3_stmt, Finalize> stmt_;
    bool ok_ = false;
};

inline bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Little-endian 16- and 64-bit integers in blobs, whatever the machine.
inline void PutInt16(std::uint8_t* at, std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    at[0] = static_cast<std::uint8_t>(u);
    at[1] = static_cast<std::uint8_t>(u >> 8);
}
inline std::int16_t GetInt16(const std::uint8_t* at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(at[0] | (at[1] << 8)));
}
inline void PutInt64(std::uint8_t* at, std::int64_t v) {
    const auto u = static_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i) at[i] = static_cast<std::uint8_t>(u >> (8 * i));
}
inline std::int64_t GetInt64(const std::uint8_t* at) {
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= std::uint64_t{at[i]} << (8 * i);
    return static_cast<std::int64_t>(u);
}

}  // namespace altrix::sqlite
