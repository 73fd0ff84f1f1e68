#pragma once

// The unit's command vocabulary: every exchange is named by an integer code that gives the
// command text (a format template where it carries a value or index) and the reply text whose
// arrival ends the exchange.

#include <QString>

// The command text of `code`; "" for a code outside the vocabulary.
QString GetCommandText(int code);

// The reply that ends the exchange of `code`; "" for a code outside the vocabulary.
QString GetCommandReply(int code);
