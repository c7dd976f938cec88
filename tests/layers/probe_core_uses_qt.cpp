// Display-free code (every core library together) sees no Qt header.
#include <QObject>
