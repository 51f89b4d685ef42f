#include "db/tdatasource.h"

#include "db/tdataset.h"

namespace lystra {

TDataLink::~TDataLink()
{
    SetDataSource(nullptr);
}

void TDataLink::SetDataSource(TDataSource* source)
{
    if (source == m_dataSource)
        return;
    if (m_dataSource != nullptr)
        m_dataSource->m_links.removeOne(this);
    m_dataSource = source;
    if (m_dataSource != nullptr)
        m_dataSource->m_links.append(this);
}

TDataSet* TDataLink::DataSet() const
{
    return m_dataSource != nullptr ? m_dataSource->DataSet() : nullptr;
}

TDataSource::TDataSource(TDataSet* dataSet)
{
    SetDataSet(dataSet);
}

TDataSource::~TDataSource()
{
    SetDataSet(nullptr);
    for (TDataLink* link : std::as_const(m_links))
        link->m_dataSource = nullptr;
}

void TDataSource::SetDataSet(TDataSet* dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet != nullptr)
        m_dataSet->m_dataSources.removeOne(this);
    m_dataSet = dataSet;
    if (m_dataSet != nullptr)
        m_dataSet->m_dataSources.append(this);
}

void TDataSource::NotifyLinks(TDataEvent event)
{
    // A link may unhook itself (or others) while handling the event.
    const QList<TDataLink*> links = m_links;
    for (TDataLink* link : links) {
        if (m_links.contains(link))
            link->DataEvent(event);
    }
}

} // namespace lystra
