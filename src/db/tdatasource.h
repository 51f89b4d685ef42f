#pragma once

#include <QList>

namespace lystra {

class TDataSet;
class TDataSource;

// What a dataset tells the data sources that show it.
enum TDataEvent {
    deDataSetChange, // opened, closed, refreshed or repositioned as a whole
    deDataSetScroll, // moved to another record
    deUpdateState,   // the state changed (edit, insert, browse)
};

// A listener on a data source. Unlinks itself when destroyed.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();

    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const noexcept { return m_dataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;

    virtual void DataEvent(TDataEvent event) = 0;

private:
    friend class TDataSource;
    TDataSource* m_dataSource = nullptr;
};

// Connects a dataset to the links that follow it (a detail dataset's master
// link, for one). Neither side owns the other; whichever is destroyed first
// unhooks itself.
class TDataSource {
public:
    explicit TDataSource(TDataSet* dataSet = nullptr);
    ~TDataSource();

    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    TDataSet* DataSet() const noexcept { return m_dataSet; }
    void SetDataSet(TDataSet* dataSet);

    // Called by the dataset.
    void NotifyLinks(TDataEvent event);

private:
    friend class TDataLink;
    friend class TDataSet;
    TDataSet* m_dataSet = nullptr;
    QList<TDataLink*> m_links;
};

} // namespace lystra
