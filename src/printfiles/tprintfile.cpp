#include "printfiles/tprintfile.h"

#include "platform/convert.h"
#include "platform/eventpump.h"
#include "platform/exception.h"
#include "platform/formatsettings.h"
#include "platform/hostcodec.h"
#include "printfiles/hosttext.h"
#include "printfiles/hourglass.h"
#include "printfiles/printfilestore.h"
#include "printfiles/sqltext.h"

#include <algorithm>
#include <cmath>

namespace lystra {

namespace {

// A run of decimal digits as a number; -1 when the text is anything else.
int digitsValue(QByteArrayView text)
{
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return toInt(text);
}

std::optional<QDate> readDate(const QByteArray& fdate)
{
    if (fdate.size() < 8)
        return std::nullopt;
    const int year = digitsValue(fdate.first(4));
    const int month = digitsValue(fdate.sliced(4, 2));
    const int day = digitsValue(fdate.sliced(6, 2));
    if (year < 1 || month < 0 || day < 0)
        return std::nullopt;
    const QDate date(year, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

QTime readTime(const QByteArray& ftime)
{
    const QByteArray hhmmss = QByteArray("000000" + ftime).right(6);
    const int hours = digitsValue(hhmmss.first(2));
    const int minutes = digitsValue(hhmmss.sliced(2, 2));
    const int seconds = digitsValue(hhmmss.sliced(4, 2));
    const QTime time(hours, minutes, seconds);
    return time.isValid() ? time : QTime(0, 0);
}

// Characters per inch or lines per inch: "," and "." both stand for the
// decimal mark. Blank gives the default, and so does a value outside 0.01 to
// 1000, which no printer has and which would break the page geometry; what is
// not a number raises.
double readPitch(const QByteArray& value, double fallback)
{
    QByteArray text = TrimHost(value);
    if (text.isEmpty())
        return fallback;
    text.replace(',', '.');
    const auto number = parseDouble(text);
    if (!number || !std::isfinite(*number))
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value")
                                .arg(HostCodec::host().decode(TrimHost(value))));
    return *number >= 0.01 && *number <= 1000 ? *number : fallback;
}

int readInteger(const QByteArray& value)
{
    return toInt(TrimHost(value));
}

} // namespace

TPrintFile::TPrintFile(TPrintFileStore* owner, const TRowValues& row)
    : m_owner(owner), m_table(*this)
{
    const auto date = readDate(TrimHost(row.Value("FDATE")));
    m_hasDate = date.has_value();
    m_created = QDateTime(date.value_or(QDate(1899, 12, 30)),
                          readTime(TrimHost(row.Value("FTIME"))), Qt::UTC);
    m_pageLength = readInteger(row.Value("FHGHT"));
    m_pageWidth = readInteger(row.Value("FWIDTH"));
    m_pageCount = readInteger(row.Value("FPAGES"));
    m_cpi = readPitch(row.Value("FCPI"), 10);
    m_lpi = readPitch(row.Value("FLPI"), 6);
    m_status = TrimHost(row.Value("FSTAT"));
    m_fileType = TrimHost(row.Value("FTYPE"));
    m_id = TrimHost(row.Value("FID"));
    m_formName = TrimHost(row.Value("FFORM"));
    m_fileName = TrimHost(row.Value("FNAME"));
    m_jobName = TrimHost(row.Value("JOBNAM"));
    m_title = TrimHost(row.Value("FTXT"));
    if (m_title.isEmpty())
        m_title = m_jobName;
    m_user = TrimHost(row.Value("USER"));
}

TPrintFile::~TPrintFile() = default;

QByteArray TPrintFile::CreatedDateDigits() const
{
    if (!m_hasDate)
        return QByteArrayLiteral("0");
    return m_created.date().toString(u"yyyyMMdd").toLatin1();
}

TPrintPage& TPrintFile::Page(int index)
{
    if (index < 0 || index >= m_pageCount)
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    const auto slot = static_cast<std::size_t>(index);
    if (slot < m_pages.size() && m_pages[slot])
        return *m_pages[slot];
    std::unique_ptr<TPrintPage> page;
    {
        HourglassCursor hourglass;
        page = TPrintPage::Read(*this, index + 1);
    }
    if (slot >= m_pages.size())
        m_pages.resize(slot + 1);
    m_pages[slot] = std::move(page);
    return *m_pages[slot];
}

bool TPrintFile::IsPageLoaded(int index) const
{
    const auto slot = static_cast<std::size_t>(index);
    return index >= 0 && slot < m_pages.size() && m_pages[slot];
}

QByteArray TPrintFile::StatusUpdateText(const QByteArray& status) const
{
    return "update " + m_owner->CatalogTable() + " set FSTAT=" + SqlString(status) +
           " where FID=" + SqlString(m_id) + " with NC";
}

void TPrintFile::SetStatus(const QByteArray& status)
{
    if (m_status == status)
        return;
    m_status = status;
    m_owner->Execute(StatusUpdateText(status));
}

QString TPrintFile::CreatedText() const
{
    const FormatSettings& formats = FormatSettings::current();
    return formats.dateText(m_created.date()) + u' ' + formats.timeText(m_created.time());
}

QString TPrintFile::DocumentFileName() const
{
    QString stamp = CreatedText();
    stamp.remove(u'-');
    stamp.remove(u':');
    const qsizetype blank = stamp.indexOf(u' ');
    if (blank >= 0)
        stamp[blank] = u'-';
    const HostCodec& codec = HostCodec::host();
    QString name = codec.decode(m_fileName) + u'-' + stamp + u'-' + codec.decode(m_id);
    for (QChar& c : name) {
        if (c.unicode() < 32 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    return name;
}

void TPrintFile::RaiseProgress()
{
    if (OnProgress)
        OnProgress(*this);
    processPendingEvents();
}

} // namespace lystra
