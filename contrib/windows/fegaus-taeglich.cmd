@echo off
rem Taeglicher stiller Lauf von FEGAUS, gestartet von der Aufgabenplanung.
rem Nur fehlgeschlagene Loeschungen erzeugen eine Ausgabe; sie wird an die
rem Fehlerdatei angehaengt. Suchmuster, Altersgrenze und Fehlerdatei anpassen.
rem fegaus.exe liegt im selben Ordner wie diese Datei.
"%~dp0fegaus.exe" -Q -L=31 "D:\Logs\*.log" >> "D:\Logs\fegaus-fehler.txt"
