<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
  Vextor Config texts, Italian, language 1: every key has its text here; it is the fallback of the other languages.
  Context: the window class. Source: a string key the code looks up ("Mp_04"), or a control's
  property "<objectName>.Caption", "<objectName>.Hint", "<objectName>.Items" (items one a line);
  the window itself is named by its object name ("MainForm.Caption").
  Edited by hand: do not run lupdate on this file (the sources are keys, not tr() calls).
-->
<TS version="2.1" language="it_IT">
<context>
    <name>TMainForm</name>
    <message>
        <source>Mp_01</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Mp_02</source>
        <translation>Coeff. Offset</translation>
    </message>
    <message>
        <source>Mp_03</source>
        <translation>P03</translation>
    </message>
    <message>
        <source>Mp_04</source>
        <translation>Versione FW</translation>
    </message>
    <message>
        <source>Mp_05</source>
        <translation>Tipo uscita</translation>
    </message>
    <message>
        <source>Mp_06</source>
        <translation>Zero [4mA]</translation>
    </message>
    <message>
        <source>Mp_07</source>
        <translation>Fondo Scala [20mA]</translation>
    </message>
    <message>
        <source>Mp_08</source>
        <translation>Diametro interno condotto [mm]</translation>
    </message>
    <message>
        <source>Mp_09</source>
        <translation>Base interna condotto [mm]</translation>
    </message>
    <message>
        <source>Mp_10</source>
        <translation>Pres. di esercizio [Bar ass.]</translation>
    </message>
    <message>
        <source>Mp_11</source>
        <translation>Fattore di correzione [Ki]</translation>
    </message>
    <message>
        <source>Mp_12</source>
        <translation>Scabrezza [micron]</translation>
    </message>
    <message>
        <source>Mp_13</source>
        <translation>Guadagno [m]</translation>
    </message>
    <message>
        <source>Mp_14</source>
        <translation>Offset [q]</translation>
    </message>
    <message>
        <source>Mp_15</source>
        <translation>P15</translation>
    </message>
    <message>
        <source>Mp_16</source>
        <translation>P16</translation>
    </message>
    <message>
        <source>St_01</source>
        <translation>Velocità</translation>
    </message>
    <message>
        <source>St_02</source>
        <translation>Portata</translation>
    </message>
    <message>
        <source>St_03</source>
        <translation>Temperatura [°C]</translation>
    </message>
    <message>
        <source>St_04</source>
        <translation>Densità [Kg/mc]</translation>
    </message>
    <message>
        <source>St_05</source>
        <translation>Fatt. profilo teorico</translation>
    </message>
    <message>
        <source>St_06</source>
        <translation>Kp correz. pressione</translation>
    </message>
    <message>
        <source>St_07</source>
        <translation>Velocità media [mt/sec]</translation>
    </message>
    <message>
        <source>St_08</source>
        <translation>Diametro equivalente [mm]</translation>
    </message>
    <message>
        <source>St_09</source>
        <translation>Speed Volt [0-4000]</translation>
    </message>
    <message>
        <source>St_10</source>
        <translation>D10</translation>
    </message>
    <message>
        <source>St_11</source>
        <translation>Fatt. profilo utente</translation>
    </message>
    <message>
        <source>St_12</source>
        <translation>Coef. offset</translation>
    </message>
    <message>
        <source>St_13</source>
        <translation>Sezione [cm2]</translation>
    </message>
    <message>
        <source>St_14</source>
        <translation>mA out velocità</translation>
    </message>
    <message>
        <source>St_15</source>
        <translation>mA out temperatura</translation>
    </message>
    <message>
        <source>St_16</source>
        <translation>Versione FW</translation>
    </message>
    <message>
        <source>St_17</source>
        <translation>mA out portata</translation>
    </message>
    <message>
        <source>Unit1</source>
        <translation>[mt/sec]</translation>
    </message>
    <message>
        <source>Unit2</source>
        <translation>[Kg/h]</translation>
    </message>
    <message>
        <source>Unit3</source>
        <translation>[mc/h]</translation>
    </message>
    <message>
        <source>Unit4</source>
        <translation>[Nmc/h]</translation>
    </message>
    <message>
        <source>Unit5</source>
        <translation>[----]</translation>
    </message>
    <message>
        <source>Mes01</source>
        <translation>Altezza interna condotto [mm]</translation>
    </message>
    <message>
        <source>Mes02</source>
        <translation>Dati non salvati in EEPROM ! Vuoi uscire senza salvare ?</translation>
    </message>
    <message>
        <source>Mes03</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Mes04</source>
        <translation>Scrittura OK</translation>
    </message>
    <message>
        <source>Mes05</source>
        <translation>Errore di scrittura</translation>
    </message>
    <message>
        <source>Mes06</source>
        <translation>Lettura OK </translation>
    </message>
    <message>
        <source>MainForm.Caption</source>
        <translation>Vextor Config V01.00.01</translation>
    </message>
    <message>
        <source>SpeedButton2.Caption</source>
        <translation>Leggi parametri</translation>
    </message>
    <message>
        <source>SpeedButton6.Caption</source>
        <translation>Grafico</translation>
    </message>
    <message>
        <source>SpeedButton7.Caption</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>SpeedButton8.Caption</source>
        <translation>Memorizza dati</translation>
    </message>
    <message>
        <source>SpeedButton9.Caption</source>
        <translation>Connetti</translation>
    </message>
    <message>
        <source>SpeedButton10.Caption</source>
        <translation>Salva configurazione</translation>
    </message>
    <message>
        <source>SpeedButton11.Caption</source>
        <translation>Richiama configurazione</translation>
    </message>
    <message>
        <source>Panel3.Caption</source>
        <translation>DATI SENSORE</translation>
    </message>
    <message>
        <source>Panel5.Caption</source>
        <translation>TIPO USCITA</translation>
    </message>
    <message>
        <source>Panel7.Caption</source>
        <translation>CARATTERISTICHE DEL CONDOTTO</translation>
    </message>
    <message>
        <source>Panel9.Caption</source>
        <translation>PRESSIONE DI ESERCIZIO [ Bar ass. ]</translation>
    </message>
    <message>
        <source>Panel11.Caption</source>
        <translation>FATTORE DI PROFILO</translation>
    </message>
    <message>
        <source>N1.Caption</source>
        <translation>Lingua</translation>
    </message>
    <message>
        <source>Italiano1.Caption</source>
        <translation>Italiano</translation>
    </message>
    <message>
        <source>Inglese1.Caption</source>
        <translation>Inglese</translation>
    </message>
    <message>
        <source>Info1.Caption</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Help1.Caption</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>A1.Caption</source>
        <translation>About</translation>
    </message>
    <message>
        <source>AutoConnect1.Caption</source>
        <translation>Riconnessione automatica</translation>
    </message>
    <message>
        <source>Label6.Caption</source>
        <translation>Batch</translation>
    </message>
    <message>
        <source>Label7.Caption</source>
        <translation>SN</translation>
    </message>
    <message>
        <source>ComboBox1.Items</source>
        <translation>Velocità Flusso [mt/sec]&#10;Portata Massica [Kg/h]&#10;Portata Volumetrica [mc/h]&#10;Portata Volumetrica [Nmc/h]</translation>
    </message>
    <message>
        <source>ComboBox2.Items</source>
        <translation>Cilindro&#10;Quadrato</translation>
    </message>
    <message>
        <source>ComboBox1.Hint</source>
        <translation>P05 Tipo uscita</translation>
    </message>
    <message>
        <source>Mes07</source>
        <translation>Recuperata una registrazione di %1 del %2: si può vedere in &quot;Grafico&quot;.</translation>
    </message>
    <message>
        <source>Mes08</source>
        <translation>Recuperata una registrazione di %1 del %2: si può vedere in &quot;Grafico&quot;, &quot;DEBUG&quot;.</translation>
    </message>
</context>
<context>
    <name>TDiagnoseForm</name>
    <message>
        <source>DiagnoseForm.Caption</source>
        <translation>DIagnostica seriale</translation>
    </message>
    <message>
        <source>Label1.Caption</source>
        <translation>Frame trasmessi</translation>
    </message>
    <message>
        <source>Label2.Caption</source>
        <translation>Frame ricevuti corretti SENSORE</translation>
    </message>
    <message>
        <source>Label3.Caption</source>
        <translation>XOR</translation>
    </message>
    <message>
        <source>Label4.Caption</source>
        <translation>Errori di timeout</translation>
    </message>
    <message>
        <source>Label5.Caption</source>
        <translation>Frame perduti ( fine dei tentativi )</translation>
    </message>
</context>
<context>
    <name>TGraficoForm</name>
    <message>
        <source>GraficoForm.Caption</source>
        <translation>Grafico</translation>
    </message>
    <message>
        <source>Label2.Caption</source>
        <translation>Secondi trascorsi dallo start ADQ</translation>
    </message>
    <message>
        <source>SpeedButton1.Caption</source>
        <translation>ESCI</translation>
    </message>
    <message>
        <source>Exp01</source>
        <translation>Esporta dati (CSV)…</translation>
    </message>
    <message>
        <source>Exp02</source>
        <translation>Salva immagine…</translation>
    </message>
    <message>
        <source>Csv01</source>
        <translation>Campione</translation>
    </message>
    <message>
        <source>Csv02</source>
        <translation>Data e ora</translation>
    </message>
    <message>
        <source>Csv03</source>
        <translation>Temperatura [°C]</translation>
    </message>
    <message>
        <source>Csv04</source>
        <translation>Diagnostica</translation>
    </message>
    <message>
        <source>Csv05</source>
        <translation>Uscita</translation>
    </message>
    <message>
        <source>Flt01</source>
        <translation>Dati CSV per foglio di calcolo (*.csv)</translation>
    </message>
    <message>
        <source>Flt02</source>
        <translation>Immagine PNG (*.png)</translation>
    </message>
    <message>
        <source>Flt03</source>
        <translation>Documento PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Err01</source>
        <translation>Impossibile scrivere il file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Tip01</source>
        <translation>Campione</translation>
    </message>
    <message>
        <source>Tip02</source>
        <translation>Data e ora</translation>
    </message>
    <message>
        <source>Tip03</source>
        <translation>Valore</translation>
    </message>
    <message>
        <source>Tip04</source>
        <translation>Temperatura</translation>
    </message>
    <message>
        <source>Tip05</source>
        <translation>Diagnostica</translation>
    </message>
    <message>
        <source>Rec01</source>
        <translation>La registrazione non viene salvata su disco (continua solo in memoria): %1</translation>
    </message>
</context>
<context>
    <name>TSaveRecalForm</name>
    <message>
        <source>SaveRecalForm.Caption</source>
        <translation>Salva o richiama configurazione</translation>
    </message>
    <message>
        <source>SpeedButton2.Caption</source>
        <translation>Abbandona</translation>
    </message>
    <message>
        <source>Mes01</source>
        <translation>Salva</translation>
    </message>
    <message>
        <source>Mes02</source>
        <translation>Richiama</translation>
    </message>
    <message>
        <source>Mes03</source>
        <translation>File di configurazione non trovato: %1</translation>
    </message>
    <message>
        <source>Mes04</source>
        <translation>Impossibile leggere il file di configurazione: %1</translation>
    </message>
    <message>
        <source>Mes05</source>
        <translation>File di configurazione danneggiato: %1 (manca la voce %2)</translation>
    </message>
    <message>
        <source>Mes06</source>
        <translation>File di configurazione danneggiato: %1 (%2 non è un numero intero tra -32768 e 65535)</translation>
    </message>
</context>
<context>
    <name>TKeyBoardForm</name>
    <message>
        <source>KeyBoardForm.Caption</source>
        <translation>Tastiera</translation>
    </message>
    <message>
        <source>ButtonABORT.Caption</source>
        <translation>Abbandona</translation>
    </message>
</context>
<context>
    <name>TKeyBoardAlphaForm</name>
    <message>
        <source>KeyBoardAlphaForm.Caption</source>
        <translation>Tastiera alfanumerica</translation>
    </message>
    <message>
        <source>ButtonABORT.Caption</source>
        <translation>Abbandona</translation>
    </message>
</context>
</TS>
