<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
  Vextor Config texts, English, language 2: an unfinished entry has no English text; the Italian one is used.
  Context: the window class. Source: a string key the code looks up ("Mp_04"), or a control's
  property "<objectName>.Caption", "<objectName>.Hint", "<objectName>.Items" (items one a line);
  the window itself is named by its object name ("MainForm.Caption").
  Edited by hand: do not run lupdate on this file (the sources are keys, not tr() calls).
-->
<TS version="2.1" language="en_GB">
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
        <translation>FW Version</translation>
    </message>
    <message>
        <source>Mp_05</source>
        <translation>Output Type</translation>
    </message>
    <message>
        <source>Mp_06</source>
        <translation>Zero [4mA]</translation>
    </message>
    <message>
        <source>Mp_07</source>
        <translation>Full scale [20mA]</translation>
    </message>
    <message>
        <source>Mp_08</source>
        <translation>Internal diameter duct [mm]</translation>
    </message>
    <message>
        <source>Mp_09</source>
        <translation>Base internal duct [mm]</translation>
    </message>
    <message>
        <source>Mp_10</source>
        <translation>Operating pressure [Bar abs]</translation>
    </message>
    <message>
        <source>Mp_11</source>
        <translation>Correction factor [Ki]</translation>
    </message>
    <message>
        <source>Mp_12</source>
        <translation>Roughness [micron]</translation>
    </message>
    <message>
        <source>Mp_13</source>
        <translation>Gain [m]</translation>
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
        <translation>Velocity</translation>
    </message>
    <message>
        <source>St_02</source>
        <translation>Flow</translation>
    </message>
    <message>
        <source>St_03</source>
        <translation>Temperature [° C]</translation>
    </message>
    <message>
        <source>St_04</source>
        <translation>Density [Kg/mc]</translation>
    </message>
    <message>
        <source>St_05</source>
        <translation>Theoretical profile factor </translation>
    </message>
    <message>
        <source>St_06</source>
        <translation>Kp correction pressure</translation>
    </message>
    <message>
        <source>St_07</source>
        <translation>Average velocity [mt/sec]</translation>
    </message>
    <message>
        <source>St_08</source>
        <translation>Equivalent diameter [mm]</translation>
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
        <translation>User profile factor</translation>
    </message>
    <message>
        <source>St_12</source>
        <translation>Coef. offset</translation>
    </message>
    <message>
        <source>St_13</source>
        <translation>Section [cm2]</translation>
    </message>
    <message>
        <source>St_14</source>
        <translation>mA out velocity</translation>
    </message>
    <message>
        <source>St_15</source>
        <translation>mA out temperature</translation>
    </message>
    <message>
        <source>St_16</source>
        <translation>FW version</translation>
    </message>
    <message>
        <source>St_17</source>
        <translation>mA out Flow</translation>
    </message>
    <message>
        <source>Unit1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unit2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unit3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unit4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unit5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mes01</source>
        <translation>Duct height [mm]</translation>
    </message>
    <message>
        <source>Mes02</source>
        <translation>Unsaved data in the EEPROM! Do you want to exit without saving?</translation>
    </message>
    <message>
        <source>Mes03</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Mes04</source>
        <translation>Write OK</translation>
    </message>
    <message>
        <source>Mes05</source>
        <translation>Writing mistake</translation>
    </message>
    <message>
        <source>Mes06</source>
        <translation>Read OK</translation>
    </message>
    <message>
        <source>MainForm.Caption</source>
        <translation>Vextor Config V01.00.01</translation>
    </message>
    <message>
        <source>SpeedButton2.Caption</source>
        <translation>Read parameter</translation>
    </message>
    <message>
        <source>SpeedButton6.Caption</source>
        <translation>Graphics</translation>
    </message>
    <message>
        <source>SpeedButton7.Caption</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>SpeedButton8.Caption</source>
        <translation>Store data</translation>
    </message>
    <message>
        <source>SpeedButton9.Caption</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>SpeedButton10.Caption</source>
        <translation>Save Configuration</translation>
    </message>
    <message>
        <source>SpeedButton11.Caption</source>
        <translation>Recall configuration</translation>
    </message>
    <message>
        <source>Panel3.Caption</source>
        <translation>DATA SENSOR</translation>
    </message>
    <message>
        <source>Panel5.Caption</source>
        <translation>OUTPUT TYPE</translation>
    </message>
    <message>
        <source>Panel7.Caption</source>
        <translation>FEATURES CONDUIT</translation>
    </message>
    <message>
        <source>Panel9.Caption</source>
        <translation>OPERATING PRESSURE [Bar abs]</translation>
    </message>
    <message>
        <source>Panel11.Caption</source>
        <translation>PROFILE FACTOR</translation>
    </message>
    <message>
        <source>N1.Caption</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Italiano1.Caption</source>
        <translation>Italian</translation>
    </message>
    <message>
        <source>Inglese1.Caption</source>
        <translation>English</translation>
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
        <translation>Reconnect automatically</translation>
    </message>
    <message>
        <source>Label6.Caption</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label7.Caption</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ComboBox1.Items</source>
        <translation>Point-velocity of flow [mt/sec]&#10;Mass Flow [Kg/h]&#10;Volumetric Flow [mc/h]&#10;Volumetric Flow [Nmc/h]</translation>
    </message>
    <message>
        <source>ComboBox2.Items</source>
        <translation>Cylinder&#10;Square</translation>
    </message>
    <message>
        <source>ComboBox1.Hint</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mes07</source>
        <translation>A recording of %1 from %2 was recovered: it can be viewed in &quot;Grafico&quot;.</translation>
    </message>
    <message>
        <source>Mes08</source>
        <translation>A recording of %1 from %2 was recovered: it can be viewed in &quot;Grafico&quot;, &quot;DEBUG&quot;.</translation>
    </message>
</context>
<context>
    <name>TDiagnoseForm</name>
    <message>
        <source>DiagnoseForm.Caption</source>
        <translation>Serial test</translation>
    </message>
    <message>
        <source>Label1.Caption</source>
        <translation>Trasmitted frame</translation>
    </message>
    <message>
        <source>Label2.Caption</source>
        <translation>Number rx ok</translation>
    </message>
    <message>
        <source>Label3.Caption</source>
        <translation>Error XOR</translation>
    </message>
    <message>
        <source>Label4.Caption</source>
        <translation>Timeout error</translation>
    </message>
    <message>
        <source>Label5.Caption</source>
        <translation>Lost frame</translation>
    </message>
</context>
<context>
    <name>TGraficoForm</name>
    <message>
        <source>GraficoForm.Caption</source>
        <translation>Graphics</translation>
    </message>
    <message>
        <source>Label2.Caption</source>
        <translation>Seconds elapsed from the start ADQ</translation>
    </message>
    <message>
        <source>SpeedButton1.Caption</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Exp01</source>
        <translation>Export data (CSV)…</translation>
    </message>
    <message>
        <source>Exp02</source>
        <translation>Save picture…</translation>
    </message>
    <message>
        <source>Csv01</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>Csv02</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Csv03</source>
        <translation>Temperature [°C]</translation>
    </message>
    <message>
        <source>Csv04</source>
        <translation>Diagnostic</translation>
    </message>
    <message>
        <source>Csv05</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>Flt01</source>
        <translation>CSV data for a spreadsheet (*.csv)</translation>
    </message>
    <message>
        <source>Flt02</source>
        <translation>PNG picture (*.png)</translation>
    </message>
    <message>
        <source>Flt03</source>
        <translation>PDF document (*.pdf)</translation>
    </message>
    <message>
        <source>Err01</source>
        <translation>Cannot write the file &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>Tip01</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>Tip02</source>
        <translation>Date and time</translation>
    </message>
    <message>
        <source>Tip03</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Tip04</source>
        <translation>Temperature</translation>
    </message>
    <message>
        <source>Tip05</source>
        <translation>Diagnostic</translation>
    </message>
    <message>
        <source>Rec01</source>
        <translation>The recording is not being saved to disk (it goes on in memory only): %1</translation>
    </message>
</context>
<context>
    <name>TSaveRecalForm</name>
    <message>
        <source>SaveRecalForm.Caption</source>
        <translation>Save or recall configuration</translation>
    </message>
    <message>
        <source>SpeedButton2.Caption</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Mes01</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Mes02</source>
        <translation>Recall</translation>
    </message>
    <message>
        <source>Mes03</source>
        <translation>Configuration file not found: %1</translation>
    </message>
    <message>
        <source>Mes04</source>
        <translation>Unable to read the configuration file: %1</translation>
    </message>
    <message>
        <source>Mes05</source>
        <translation>Damaged configuration file: %1 (the entry %2 is missing)</translation>
    </message>
    <message>
        <source>Mes06</source>
        <translation>Damaged configuration file: %1 (%2 is not a whole number from -32768 to 65535)</translation>
    </message>
</context>
<context>
    <name>TKeyBoardForm</name>
    <message>
        <source>KeyBoardForm.Caption</source>
        <translation>Keyboard</translation>
    </message>
    <message>
        <source>ButtonABORT.Caption</source>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>TKeyBoardAlphaForm</name>
    <message>
        <source>KeyBoardAlphaForm.Caption</source>
        <translation>Alphanumeric keyboard</translation>
    </message>
    <message>
        <source>ButtonABORT.Caption</source>
        <translation>Quit</translation>
    </message>
</context>
</TS>
