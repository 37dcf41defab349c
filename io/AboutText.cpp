#include "io/AboutText.h"

#include <QStringList>

QString AboutText(const QString& caption) {
  const QStringList lines = {
      caption,
      QString(),
      QStringLiteral("(c) 2026 die Entwickler von Torbel"),
      QString(),
      QStringLiteral("Kurzanleitung:"),
      QStringLiteral("Achtung: um alte Dateien korrekt laden zu können, muß in Zeile 5 die "
                     "Nodalpunkthöhe"),
      QStringLiteral("von P0 (Abstand vom Boden zur Objektivmitte) eingetragen werden!"),
      QStringLiteral("1. Panos laden (z.B. S0.bmp, S1.bmp und S2.bmp)."),
      QString(),
      QStringLiteral(
          "2. Jetzt müssen die Winkel und Abstände der Panos zueinander vermessen werden."),
      QStringLiteral("Dazu wird die entspr. Funktionstaste (F9..F12) gedrückt, der jeweilige Punkt "
                     "mit der Maus"),
      QStringLiteral("oder den Cursortasten angefahren und mit Enter bestätigt."),
      QString(),
      QStringLiteral("3. Punkte eingeben: im Prinzip wie im Quv, d.h. F2 drücken, Punkt im "
                     "Standortpano"),
      QStringLiteral("anfahren (Maus/Cursortasten), dann mit +/- die Entfernung einstellen bis es "
                     "in den"),
      QStringLiteral("Vermessungspanos horizontal passt. Die vertikale Position in den "
                     "Vermessungspanos ist"),
      QStringLiteral("nicht wichtig, daher wird eine vertikale Line angezeigt und horizontal nur "
                     "ein kleiner"),
      QStringLiteral("Strich zur Orientierung. Die vertikalen Abweichungen ergeben sich aus dem "
                     "Schiefstand"),
      QStringLiteral("der Rotationsachse während der Aufnahme."),
      QStringLiteral("Umschalt+Klick in einem Vermessungspano markiert, wo das Bild den Punkt "
                     "zeigt; in beiden"),
      QStringLiteral("markiert ist er ein Verknüpfungspunkt. Mit fünf und mehr davon bestimmt "
                     "Bearbeiten ->"),
      QStringLiteral("\"Stationen aus den Bildern bestimmen...\" die Stationen und Neigungen "
                     "aus den Bildern."),
      QString(),
      QStringLiteral("4. Punkte editieren: durch anklicken in der Tabelle kann ein Punkt "
                     "ausgewählt werden."),
      QStringLiteral("Die 3 Panos werden automatisch verschoben so das der Punkt sichtbar wird und "
                     "dann"),
      QStringLiteral("wird der Punkt rot dargestellt."),
      QStringLiteral("Ein verschieben des Punktes ist (noch) nicht möglich, aber wenn man in der "
                     "Tabelle"),
      QStringLiteral("rechts klickt erscheint ein Kontextmeü und der Punkt kann gelöscht werden."),
      QString(),
      QStringLiteral("4. Punkte ins Quv übertragen: hierzu wird in der Tabelle der gewünschte "
                     "Startpunkt"),
      QStringLiteral("ausgewählt und mit rechter Maustaste im Kontextmenü \"Punktliste ab Cursor "
                     "erzeugen\""),
      QStringLiteral("angeklickt. Daraufhin wird das Fenster der Torbel minimiert und die Lantrex"),
      QStringLiteral("wird gestartet."),
      QStringLiteral("Hier wird dann mit klick auf \"Punkt kopieren\" Punkt für Punkt in die "
                     "Zwischenablage"),
      QStringLiteral("kopiert und kann im Quv mit Strg+V eingefügt werden."),
      QStringLiteral("Achtung: der erste Kopiervorgang dauert immer etwas länger!"),
      QStringLiteral("Dazu müssen im Quv allerdings erstmal ein paar Dummypunkte erzeugt werden,"),
      QStringLiteral("also F2 drücken und irgendwo einen Punkt machen, diesen dann duplizieren."),
      QString(),
      QStringLiteral("5. Koordinaten speichern nicht vergessen!"),
      QString(),
      QStringLiteral("\"Wer misst, misst Mist - wer nicht misst, weiß es nicht einmal.\""),
      QStringLiteral("Oder mit anderen Worten: ich bin nicht der Programmierkönig!"),
      QStringLiteral(
          "Benutzung auf eigene Gefahr und wenn was nicht geht, einfach bescheid sagen!"),
  };
  return lines.join(QStringLiteral("\r\n"));
}

QString KeysText() {
  const QStringList lines = {
      QStringLiteral("Tastenkürzel"),
      QString(),
      QStringLiteral("Stationen einmessen:"),
      QStringLiteral("F9 / F10 – im Standortpano P1 / P2 anfahren, Enter übernimmt die Richtung "
                     "und fragt die Entfernung"),
      QStringLiteral("F11 / F12 – im Vermessungspano 1 / 2 den Standort P0 anfahren, Enter "
                     "übernimmt die Richtung"),
      QString(),
      QStringLiteral("Punkte eingeben:"),
      QStringLiteral("F2 – Punkteingabe beginnen (erst nach F9 bis F12)"),
      QStringLiteral("+ / - – Entfernung um 1 cm ändern, gehalten immer schneller"),
      QStringLiteral("Mausrad – Entfernung um 1 cm je Raste ändern"),
      QStringLiteral("0 bis 9 – Entfernung eintippen (z. B. mit dem Maßband gemessen)"),
      QStringLiteral("Klick in P0 – das Ziel festhalten; Klick in P1 / P2 – die Entfernung "
                     "setzen, bei der die Leitlinie dort durch den Klick läuft"),
      QStringLiteral("Umschalt+Klick in P1 / P2 – dort markieren, wo das Pano den Punkt zeigt "
                     "(in beiden markiert: ein Verknüpfungspunkt); die Entfernung bleibt"),
      QStringLiteral("F3 – die Entfernung suchen, bei der die drei Panos übereinstimmen"),
      QStringLiteral("Enter – Punkt speichern bzw. Richtung übernehmen"),
      QStringLiteral("Esc – abbrechen"),
      QString(),
      QStringLiteral("Überall:"),
      QStringLiteral("Pfeiltasten – den Mauszeiger um ein Pixel bewegen"),
      QStringLiteral("linke Maustaste gedrückt – das Pano verschieben"),
      QStringLiteral("Doppelklick – die Stelle in die Mitte des Panos holen"),
      QStringLiteral("Strg+Mausrad, Strg++ / Strg+- / Strg+0 – das Pano um den Mauszeiger "
                     "vergrößern, bis 8fach / verkleinern, bis zum ganzen Pano / Originalgröße"),
      QStringLiteral("Mausrad über einer Lupe – sie vergrößern, 2- bis 16fach"),
      QStringLiteral("Strg+Z / Strg+Y – Hinzufügen, Ändern oder Löschen eines Punktes rückgängig "
                     "machen / wiederholen"),
      QStringLiteral("rechte Maustaste in der Tabelle – Punkt editieren (neu anfahren, Enter "
                     "übernimmt), Punkt löschen, Punktliste für die Lantrex erzeugen"),
      QStringLiteral("Strg+E – Punkte exportieren (CSV)"),
      QStringLiteral("Bearbeiten → Stationen aus den Bildern bestimmen... – die Stationen und "
                     "Neigungen an die Verknüpfungspunkte anpassen; Strg+Z nimmt es zurück"),
      QStringLiteral("Enter im Dialog eines Panos – die Datei laden; einen Namen, den es nicht "
                     "gibt, weist Torbel ab, das Pano bleibt"),
      QStringLiteral("Esc bei der Nodalhöhe (nach Standortpano laden) – die bisherige Höhe "
                     "behalten"),
  };
  return lines.join(QStringLiteral("\r\n"));
}
