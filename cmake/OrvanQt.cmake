# Qt headers are large; a precompiled header per Qt library cuts the build of
# the window roughly in half on a two-core machine.
option(ORVAN_QT_PCH "Precompile the Qt headers of the window's libraries" ON)

function(orvan_qt_pch target)
  if(ORVAN_QT_PCH)
    target_precompile_headers(${target} PRIVATE
      <QtCore/QObject> <QtCore/QString> <QtCore/QList> <QtGui/QColor>
      <QtWidgets/QWidget> <QtWidgets/QLabel> <QtWidgets/QFrame>)
  endif()
endfunction()
