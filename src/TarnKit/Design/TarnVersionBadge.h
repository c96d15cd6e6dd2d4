#pragma once

#include "TarnKit/Utilities/TarnAppVersion.h"

#include <QString>
#include <QWidget>

namespace tarn {

// The small capsule with the application's version ("v1.4.2"), or with its
// build too ("v1.4.2 (57)"). Main thread.
class TarnVersionBadge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text)
public:
    TarnVersionBadge(TarnAppVersion version, bool showBuild, QWidget* parent = nullptr);

    const TarnAppVersion& version() const { return m_version; }
    bool showBuild() const { return m_showBuild; }
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TarnAppVersion m_version;
    bool m_showBuild;
};

} // namespace tarn
