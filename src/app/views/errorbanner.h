// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace Starvane {

class ElidingLabel;
class PlainButton;

/// The last failure, in two lines at most, with a "Retry" link.
class ErrorBanner : public QWidget
{
    Q_OBJECT

public:
    explicit ErrorBanner(QWidget *parent = nullptr);
    void setMessage(const QString &message);
    ElidingLabel *messageLabel() const { return m_message; }
    PlainButton *retryButton() const { return m_retry; }

Q_SIGNALS:
    void retryRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ElidingLabel *m_message;
    PlainButton *m_retry;
};

} // namespace Starvane
