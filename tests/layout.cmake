quillo_add_test(NAME TestRecordLayout SOURCES testrecordlayout.cpp LIBS orvix Qt5::Core)
