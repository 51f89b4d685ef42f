#pragma once

#include <QString>

namespace lystra {

// The base of the layer's components: a name and the loading phase. While a
// component is being loaded (its properties set from a stored form, between
// BeginLoading and EndLoading) some setters only remember their value;
// Loaded() applies them afterwards.
class TComponent {
public:
    TComponent() = default;
    virtual ~TComponent() = default;

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const QString& Name() const noexcept { return m_name; }
    virtual void SetName(const QString& name) { m_name = name; }

    bool Loading() const noexcept { return m_loading; }
    void BeginLoading() { m_loading = true; }
    void EndLoading()
    {
        m_loading = false;
        Loaded();
    }

protected:
    virtual void Loaded() {}

private:
    QString m_name;
    bool m_loading = false;
};

} // namespace lystra
