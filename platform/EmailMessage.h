#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace platform {

// An e-mail message as the program fills it in: sender, To recipients, subject and a
// plain-text and/or HTML body. Source() builds the RFC 5322 message that goes on the wire.
class EmailMessage {
 public:
  virtual ~EmailMessage() = default;

  void AddRecipient(const QString& address) { m_recipients.append(address); }
  QStringList Recipients() const { return m_recipients; }
  // The To recipients joined by ", "; with one recipient, its address.
  QString ToAddress() const { return m_recipients.join(QStringLiteral(", ")); }

  QString FromAddress() const { return m_from; }
  void SetFromAddress(const QString& address) { m_from = address; }
  QString Subject() const { return m_subject; }
  void SetSubject(const QString& subject) { m_subject = subject; }
  QString BodyPlainText() const { return m_plain; }
  void SetBodyPlainText(const QString& body) { m_plain = body; }
  QString BodyHTML() const { return m_html; }
  void SetBodyHTML(const QString& body) { m_html = body; }

  // The whole message (headers and body) with CR LF line ends, not dot-stuffed: Date,
  // Message-ID, MIME-Version, From, To, Subject (RFC 2047 words where not ASCII), and a
  // text/plain or text/html body (multipart/alternative when both are set) in a transfer
  // encoding fit for its bytes. CR and LF in header values never start a new header.
  QByteArray Source() const;

 private:
  QStringList m_recipients;
  QString m_from;
  QString m_subject;
  QString m_plain;
  QString m_html;
};

// The program's message: an EmailMessage that also carries the stored message's name,
// handed back by the SMTP client when the server accepts it.
class SpecialEmail : public EmailMessage {
 public:
  QString Name() const { return m_name; }
  void SetName(const QString& name) { m_name = name; }

 private:
  QString m_name;
};

using EmailMessagePtr = std::shared_ptr<EmailMessage>;

// The address of the one mailbox that `text` names, read as the From header's writer reads
// it: "news@example.org" from "news@example.org" or "Café Team <news@example.org>". Empty
// when the text names no mailbox, several, a group, or an address that lacks its local
// part or its domain: such a sender would leave the message without a usable From.
QString MailboxAddress(const QString& text);

}  // namespace platform
