#pragma once

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

namespace lystra {

// The dataset framework's vocabulary: field types, dataset states, record
// access modes, update kinds and actions, and the option sets of datasets.

enum TFieldType : std::uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftOraBlob,
    ftOraClob,
};

// Large objects: their slot holds an index into the dataset's blob store.
bool isBlobType(TFieldType type) noexcept;
// Types whose value is text: string, fixed char, wide string.
bool isStringType(TFieldType type) noexcept;
// A string value as it is stored and compared: without trailing blanks.
QByteArray trimTrailingBlanks(QByteArray text);

enum TFieldKind : std::uint8_t { fkData, fkCalculated, fkInternalCalc };

enum TDataSetState : std::uint8_t {
    dsInactive,
    dsBrowse,
    dsEdit,
    dsInsert,
    dsSetKey,
    dsCalcFields,
    dsFilter,
    dsNewValue,
    dsOldValue,
    dsCurValue,
    dsInternalCalc,
};

enum TGetMode : std::uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : std::uint8_t { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag : std::uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

enum TUpdateKind : std::uint8_t { ukModify, ukInsert, ukDelete };
enum TUpdateAction : std::uint8_t { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
enum TUpdateMode : std::uint8_t { upWhereAll, upWhereChanged, upWhereKeyOnly };

enum TLocateOption : std::uint8_t { loCaseInsensitive, loPartialKey };

enum TcsExecuteOption : std::uint8_t { eoCacheAll, eoCacheToDisk, eoAsyncOpen, eoAsyncRead };
enum TcsQueryOption : std::uint8_t {
    ConvertBlankToNull,
    LocalEdit,
    TrimAllStrings,
    SuppressNullsOnInsert,
};

enum TTransIsolation : std::uint8_t { tiDirtyRead, tiReadCommitted, tiRepeatableRead };

enum TBlobStreamMode : std::uint8_t { bmRead, bmWrite, bmReadWrite };

// A set of members of a small enumeration (at most 32 members).
template <typename E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members)
    {
        for (E member : members)
            m_bits |= bit(member);
    }

    constexpr bool contains(E member) const { return (m_bits & bit(member)) != 0; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr TSet& operator<<(E member)
    {
        m_bits |= bit(member);
        return *this;
    }
    constexpr void remove(E member) { m_bits &= ~bit(member); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr std::uint32_t bit(E member) { return std::uint32_t{1} << static_cast<unsigned>(member); }
    std::uint32_t m_bits = 0;
};

using TcsExecuteOptions = TSet<TcsExecuteOption>;
using TcsQueryOptions = TSet<TcsQueryOption>;
using TLocateOptions = TSet<TLocateOption>;

} // namespace lystra
