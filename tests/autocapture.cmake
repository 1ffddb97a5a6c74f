# Hands-free scanning: the watcher that decides when a new page lies still.
quillo_add_test(NAME TestAutoCapture SOURCES testautocapture.cpp turnscene.h LIBS quillo_core Qt5::Gui TIMEOUT 300)
quillo_add_test(NAME TestHandsFree SOURCES testhandsfree.cpp mainwindowfixture.h LIBS quillo_ui TIMEOUT 180)
